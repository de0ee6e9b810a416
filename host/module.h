// Module-wide state the host sets up: its service table and our instance
// handle, and the services as the plug-in's code calls them.
#pragma once

#include "host/abi.h"

namespace orbitrix {

// Filled slot by slot by MCP_InitializePluginProc; null where never bound.
struct HostServiceTable {
  void* slot[kServiceSlots];
};

extern HostServiceTable gHostServices;
extern void* gModuleHandle;  // from MCP_PluginEntry; used only to load the button

// The service bound in slot, as the function type of that slot; null while
// the host has not bound it.
template <typename Fn>
Fn BoundService(Slot slot) {
  return reinterpret_cast<Fn>(gHostServices.slot[slot]);
}

// The five services the tool's events call.
struct ToolServices {
  GetViewAttributeFn getViewAttribute;
  SetViewAttributeFn setViewAttribute;
  RefreshViewsFn refreshViews;
  GetViewCameraFn getViewCamera;
  SetViewCameraFn setViewCamera;
};

// The tool's services as the table holds them now: an event reads them once,
// onto its stack.
inline ToolServices BoundToolServices() {
  return {BoundService<GetViewAttributeFn>(kGetViewAttribute),
          BoundService<SetViewAttributeFn>(kSetViewAttribute),
          BoundService<RefreshViewsFn>(kRefreshViews),
          BoundService<GetViewCameraFn>(kGetViewCamera),
          BoundService<SetViewCameraFn>(kSetViewCamera)};
}

}  // namespace orbitrix
