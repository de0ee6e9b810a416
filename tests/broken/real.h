// The real exports: each broken module compiles the plug-in's own sources
// with one export renamed Real_* and wraps it with the fault.
#pragma once

#include "host/abi.h"

extern "C" {
decltype(MCP_InitializePluginProc) Real_InitializePluginProc;
decltype(MCP_PluginEntry) Real_PluginEntry;
decltype(MCP_ToolSwitch) Real_ToolSwitch;
decltype(MCP_ToolMouseButton) Real_ToolMouseButton;
decltype(MCP_ToolMouseMove) Real_ToolMouseMove;
}
