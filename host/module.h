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

// One bit for each of the six slots the plug-in calls, 0 for any other.
constexpr uint32_t SlotBit(uint32_t slot) {
  switch (slot) {
    case kRegisterInfo: return 1u << 0;
    case kGetViewAttribute: return 1u << 1;
    case kSetViewAttribute: return 1u << 2;
    case kRefreshViews: return 1u << 3;
    case kGetViewCamera: return 1u << 4;
    case kSetViewCamera: return 1u << 5;
    default: return 0;
  }
}

// The bits of the slots the plug-in calls that are null now, kept by
// MCP_InitializePluginProc beside the table it alone writes: an event asks
// whether its services are bound with one test instead of one a slot.
extern uint32_t gUnbound;

// The host services one piece of code calls, named beside that code. An
// event checks them bound together before it calls any, so one whose
// services are not all bound declines without a call; and the code can
// reach no other slot, since get() compiles for these alone.
template <Slot... Slots>
struct Services {
  static bool bound() { return (gUnbound & (SlotBit(Slots) | ...)) == 0; }

  template <Slot S>
  static typename Service<S>::Fn get() {
    static_assert(((S == Slots) || ...), "a service this code has not named");
    return reinterpret_cast<typename Service<S>::Fn>(gHostServices.slot[S]);
  }
};

}  // namespace orbitrix
