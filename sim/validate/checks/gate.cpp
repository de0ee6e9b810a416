// The gate every event passes: services left unbound, null contexts and
// tool ids that are not the module's own. The three checks fire the events
// of one table and hold the module to declining them without a call.
#include <algorithm>
#include <cstring>

#include "host/abi.h"
#include "sim/host/desktop.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// The six services, as bits of a mask in this order.
constexpr uint32_t kUsedSlots[6] = {kRegisterInfo, kGetViewAttribute, kSetViewAttribute,
                                    kRefreshViews, kGetViewCamera,    kSetViewCamera};
const char* const kSlotNames[6] = {"RegisterInfo", "GetViewAttribute", "SetViewAttribute",
                                   "RefreshViews", "GetViewCamera",    "SetViewCamera"};
constexpr unsigned kRegister = 0x01, kGetAttribute = 0x02, kSetAttribute = 0x04, kRefresh = 0x08,
                   kGetCamera = 0x10, kSetCamera = 0x20;

std::string SlotList(unsigned mask) {
  std::string s;
  for (int i = 0; i < 6; ++i)
    if (mask & (1u << i)) s.append(s.empty() ? "" : ", ").append(kSlotNames[i]);
  return s;
}

// Every event that passes the gate, fired on view 1 with a tool id and a
// context: what it answers when it declines, and the services it calls when
// it does not, as the tool's work needs them.
struct GateEvent {
  const char* what;
  int32_t declined;
  unsigned needs;
  bool takesId, takesContext;
  int32_t (*fire)(const Plugin&, uint32_t w0, uint32_t w1, unsigned char* context);
};

const GateEvent kGateEvents[] = {
    {"GetPluginInfo", 0, kRegister, false, false,
     [](const Plugin& p, uint32_t, uint32_t, unsigned char*) -> int32_t {
       return p.GetPluginInfo(1, 2, 0);
     }},
    {"GetToolInfo", 0, kRegister, true, false,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char*) -> int32_t {
       return p.GetToolInfo(1, 2, w0, w1);
     }},
    {"GetGUIInfo", 1, kRegister, true, false,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char*) -> int32_t {
       return p.GetGUIInfo(1, 2, w0, w1);
     }},
    {"ToolSwitch", 1, 0, true, true,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char* c) -> int32_t {
       return p.ToolSwitch(0, 0, w0, w1, 0, 0, c);
     }},
    {"a press", 0, kGetAttribute | kSetAttribute | kGetCamera, true, true,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char* c) {
       return p.ToolMouseButton(0, 0, w0, w1, 0, 0, 1, 1, 1, 0x7E, c);
     }},
    {"a press without the left button", 0, kGetAttribute | kSetAttribute | kGetCamera, true, true,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char* c) {
       return p.ToolMouseButton(0, 0, w0, w1, 0, 0, 1, 2, 1, 0x7E, c);
     }},
    {"a move", 0, kGetAttribute | kGetCamera | kSetCamera, true, true,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char* c) {
       return p.ToolMouseMove(0, 0, w0, w1, 0, 0, 1, 1, 0, c);
     }},
    {"a move without buttons", 0, 0, true, true,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char* c) {
       return p.ToolMouseMove(0, 0, w0, w1, 0, 0, 0, 1, 0, c);
     }},
    {"a release", 0, kGetAttribute | kSetAttribute | kRefresh | kGetCamera | kSetCamera, true, true,
     [](const Plugin& p, uint32_t w0, uint32_t w1, unsigned char* c) {
       return p.ToolMouseButton(0, 0, w0, w1, 0, 0, 0, 1, 1, 0x7E, c);
     }},
};

// Fires every event that needs a service, with the slots of mask unbound:
// each that needs one of them declines without a call or a change of drag
// state.
bool Declines(Probe& p, Host& host, unsigned mask, const std::string& when) {
  for (const GateEvent& e : kGateEvents) {
    if (!e.needs) continue;
    p.At(Format("%s with %s unbound, %s", e.what, SlotList(mask).c_str(), when.c_str()));
    const int32_t state = host.dragState();
    host.ClearLog();
    const int32_t r = e.fire(host.plugin(), kOurs0, kOurs1, host.context());
    DeleteButtons(host);
    if (!(e.needs & mask)) continue;
    if (r != e.declined || !host.log.empty() || host.dragState() != state)
      return p.Fail(
          Format("with %s unbound, %s %s answered %d with drag state %d -> %d and %s "
                 "(expected %d, no call, no change)",
                 SlotList(mask).c_str(), e.what, when.c_str(), r, state, host.dragState(),
                 LogText(host).c_str(), e.declined));
  }
  return true;
}

}  // namespace

bool UnboundServices(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  View& view = host.view(1);
  view.plain();
  SetCursor(300, 300);
  // A fresh module has nothing bound at all.
  if (!Declines(p, host, 0x3F, "before any binding")) return false;
  if (!StartHost(p, host)) return false;

  // Every subset, the empty one last as the control: rebinding must bring
  // back what unbinding took away.
  SetCtrl(true);
  for (unsigned n = 1; n <= 64; ++n) {
    const unsigned mask = n & 0x3F;
    for (bool midDrag : {false, true}) {
      host.Bind();
      host.setDragState(0);
      view.setAngles(3, 2);
      if (midDrag && host.Press(1) != 0)
        return p.Fail(
            Format("with all bound again, a press answered non-zero: %s", LogText(host).c_str()));
      for (int i = 0; i < 6; ++i)
        if (mask & (1u << i)) plugin->InitializePluginProc(kUsedSlots[i], nullptr);
      if (!Declines(p, host, mask, midDrag ? "during a drag" : "at rest")) return false;
    }
    if (mask == 0 && view.heading() != 0)
      return p.Fail(Format("with every service bound again the drag did not snap: %s",
                           LogText(host).c_str()));
  }
  SetCtrl(false);
  p.Note("nothing bound, then all 64 subsets of the six services unbound at rest and mid-drag");
  return true;
}

bool NullContext(Probe& p, Host& host) {
  View& view = host.view(1);
  view.plain();
  const char* const kStates[] = {"at rest", "after a press", "during a drag"};
  int events = 0;
  for (int state = 0; state < 3; ++state) {
    p.At(Cat({"a drag on the host's own context, ", kStates[state]}));
    host.setDragState(0);
    SetCursor(200, 200);
    if (state >= 1) host.Press(1);
    SetCursor(230, 210);
    if (state == 2) host.Move(1);
    const std::vector<unsigned char> context(host.context(), host.context() + 64);
    const auto camera = view.camera;
    for (const ToolId id : {kToolId, ToolId{0xAAAB, 0}}) {
      for (const GateEvent& e : kGateEvents) {
        if (!e.takesContext) continue;
        const std::string what = Format("%s with a null context, tool id 0x%X:0x%X, %s", e.what,
                                        id.word0, id.word1, kStates[state]);
        p.At(what);
        host.ClearLog();
        const int32_t r = e.fire(host.plugin(), id.word0, id.word1, nullptr);
        ++events;
        if (r != e.declined || !host.log.empty())
          return p.Fail(Format("%s answered %d and made %s (expected %d and no call)", what.c_str(),
                               r, LogText(host).c_str(), e.declined));
        if (!std::equal(context.begin(), context.end(), host.context()) || view.camera != camera)
          return p.Fail(Cat({what, " changed the host's own context or camera"}));
      }
    }
  }
  p.Note(
      Format("%d events, for the module's id and another, at rest, pressed and dragging", events));
  return true;
}

bool ForeignIds(Probe& p, Host& host) {
  const Plugin& plugin = host.plugin();
  host.view(1).plain();
  // The control: our own id is seen, so the silence below means something.
  host.ClearLog();
  if (plugin.GetToolInfo(1, 2, kOurs0, kOurs1) != 1 || CountCalls(host, kRegisterInfo) != 1)
    return p.Fail(Cat({"GetToolInfo for the module's own id: ", LogText(host)}));
  DeleteButtons(host);

  std::vector<ToolId> ids = {{0xAAAB, 0},
                             {0xAAA9, 0},
                             {0xAAAA, 1},
                             {0xAAAA, 0xFFFFFFFF},
                             {0, 0},
                             {0xFFFFFFFF, 0xFFFFFFFF},
                             {0, 0xAAAA},
                             {0xAAAA, 0xAAAA},
                             {0xAAAA0000, 0},
                             {0x1AAAA, 0},
                             {0xAAAA, 0x80000000},
                             {0x8000AAAA, 0}};
  for (uint64_t i = p.Scaled(100, 2000, 20000); i > 0;) {
    const uint32_t w0 =
        p.rng() % 2 ? static_cast<uint32_t>(p.rng()) : 0xAAAA ^ (1u << (p.rng() % 32));
    const uint32_t w1 = p.rng() % 2 ? static_cast<uint32_t>(p.rng()) : 1u << (p.rng() % 32);
    if (w0 != kOurs0 || w1 != kOurs1) ids.push_back({w0, w1}), --i;
  }
  const int32_t states[] = {0, 1, 2, -1};
  for (const ToolId& id : ids) {
    for (int32_t state : states) {
      for (unsigned char* b = host.context(); b < host.context() + 64; ++b)
        *b = static_cast<unsigned char>(p.rng());
      host.setDragState(state);
      const uint8_t options[4] = {0, 2, 0x55, 0xFF};
      for (int i = 0; i < 4; ++i) host.SetOption(i, options[i]);
      const std::vector<unsigned char> context(host.context(), host.context() + 64);
      for (const GateEvent& e : kGateEvents) {
        if (!e.takesId) continue;
        const std::string what = Format("%s for tool id 0x%X:0x%X with drag state %d", e.what,
                                        id.word0, id.word1, state);
        p.At(what);
        host.ClearLog();
        const int32_t r = e.fire(plugin, id.word0, id.word1, host.context());
        if (r != e.declined || !host.log.empty())
          return p.Fail(Format("%s answered %d and made %s (expected %d and no call)", what.c_str(),
                               r, LogText(host).c_str(), e.declined));
        if (!std::equal(context.begin(), context.end(), host.context()))
          return p.Fail(Cat({what, " changed the host's context (drag state now ",
                             std::to_string(host.dragState()), ")"}));
        for (int i = 0; i < 4; ++i)
          if (host.option(i)->value != options[i])
            return p.Fail(Format("%s set option %d from %d to %d", what.c_str(), i + 1, options[i],
                                 host.option(i)->value));
      }
    }
  }
  p.Note(Format("%u foreign ids", static_cast<unsigned>(ids.size())));
  return true;
}

}  // namespace sim::validate
