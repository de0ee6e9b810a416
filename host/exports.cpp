// The module's export table, written from the one list in abi.h: for each
// export the object carries the linker directive that __declspec(dllexport)
// would put there, under the undecorated name the host looks up.
#include "host/abi.h"

#define MCP_EXPORT_DIRECTIVE(name) \
  __asm__(".section .drectve\n\t.ascii \" -export:MCP_" #name "\"\n\t.text");
MCP_EXPORTS(MCP_EXPORT_DIRECTIVE)
