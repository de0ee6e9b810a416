// Module-wide state the host sets up: its service table and our instance
// handle, with typed access to the six services the tool calls.
#pragma once

#include "host/abi.h"

namespace orbitrix {

// Filled slot by slot by MCP_InitializePluginProc; null where never bound.
struct HostServiceTable {
  void* slot[kServiceSlots];
};

extern HostServiceTable gHostServices;
extern void* gModuleHandle;  // from MCP_PluginEntry; used only to load the button

template <typename Fn>
inline Fn BoundService(Slot s) {
  return reinterpret_cast<Fn>(gHostServices.slot[s]);
}

inline RegisterInfoFn RegisterInfo() { return BoundService<RegisterInfoFn>(kRegisterInfo); }
inline GetViewAttributeFn GetViewAttribute() {
  return BoundService<GetViewAttributeFn>(kGetViewAttribute);
}
inline SetViewAttributeFn SetViewAttribute() {
  return BoundService<SetViewAttributeFn>(kSetViewAttribute);
}
inline RefreshViewsFn RefreshViews() { return BoundService<RefreshViewsFn>(kRefreshViews); }
inline GetViewCameraFn GetViewCamera() { return BoundService<GetViewCameraFn>(kGetViewCamera); }
inline SetViewCameraFn SetViewCamera() { return BoundService<SetViewCameraFn>(kSetViewCamera); }

}  // namespace orbitrix
