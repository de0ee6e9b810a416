// Module-wide state the host sets up: its service table and our instance
// handle, and the typed access through which the exports call the services.
#pragma once

#include "host/abi.h"

namespace orbitrix {

// Filled slot by slot by MCP_InitializePluginProc; null where never bound.
struct HostServiceTable {
  void* slot[kServiceSlots];
};

extern HostServiceTable gHostServices;
extern void* gModuleHandle;  // from MCP_PluginEntry; used only to load the button

// The host services one piece of code calls, named beside that code. An
// event checks them bound together before it calls any, so one whose
// services are not all bound declines without a call; and the code can
// reach no other slot, since get() compiles for these alone.
template <Slot... Slots>
struct Services {
  static bool bound() { return ((gHostServices.slot[Slots] != nullptr) && ...); }

  template <Slot S>
  static typename Service<S>::Fn get() {
    static_assert(((S == Slots) || ...), "a service this code has not named");
    return reinterpret_cast<typename Service<S>::Fn>(gHostServices.slot[S]);
  }
};

}  // namespace orbitrix
