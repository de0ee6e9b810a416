#include "sim/host/plugin.h"

namespace sim {

Plugin LinkedPlugin() {
  Plugin p;
#define SIM_LINK_EXPORT(name) p.name = MCP_##name;
  MCP_EXPORTS(SIM_LINK_EXPORT)
#undef SIM_LINK_EXPORT
  p.module = reinterpret_cast<void*>(0x10000000);
  return p;
}

}  // namespace sim
