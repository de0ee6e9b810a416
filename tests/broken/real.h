// The real exports: each broken module compiles the plug-in's own sources
// with one export renamed Real_* and wraps it with the fault.
#pragma once

#include "host/abi.h"

#define MCP_REAL_EXPORT(name) extern "C" decltype(MCP_##name) Real_##name;
MCP_EXPORTS(MCP_REAL_EXPORT)
#undef MCP_REAL_EXPORT
