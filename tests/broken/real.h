// The real exports: each broken module compiles the plug-in's own sources
// with one export renamed Real_* and wraps it with the fault.
#pragma once

#include "host/abi.h"
#include "host/module.h"

#define MCP_REAL_EXPORT(name) extern "C" decltype(MCP_##name) Real_##name;
MCP_EXPORTS(MCP_REAL_EXPORT)
#undef MCP_REAL_EXPORT

// Whether the host has bound every service the tool calls: a fault planted
// past this shows as itself, not as a call the module would not have made.
inline bool AllBound() {
  const orbitrix::ToolServices s = orbitrix::BoundToolServices();
  return s.getViewAttribute && s.setViewAttribute && s.refreshViews && s.getViewCamera &&
         s.setViewCamera;
}
