#include "sim/host/host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "sim/text/text.h"

namespace sim {

using namespace orbitrix;

namespace {

Host* gCurrent;

std::string Quoted(const char* s) { return s ? Quote(s) : "null"; }

// The host's own code runs under its own floating-point state, whatever the
// plug-in's caller set: the x87 unit (its registers and status too) and
// MXCSR are saved, set as Windows starts a thread, and given back whole.
// WebAssembly has no such state.
class Sheltered {
 public:
  explicit Sheltered(uint32_t slot) {
    if (gCurrent->onService) gCurrent->onService(slot);
#if !defined(__wasm__)
    asm volatile("fnstenv %0\n\tfldcw %2\n\tstmxcsr %1\n\tldmxcsr %3"
                 : "=m"(x87_), "=m"(mxcsr_)
                 : "m"(kX87), "m"(kMxcsr));
#endif
  }
#if !defined(__wasm__)
  ~Sheltered() { asm volatile("fldenv %0\n\tldmxcsr %1" : : "m"(x87_), "m"(mxcsr_)); }

 private:
  static constexpr uint16_t kX87 = 0x027F;
  static constexpr uint32_t kMxcsr = 0x1F80;
  uint8_t x87_[28];
  uint32_t mxcsr_;
#endif
};

// The services as the host exports them: callee-cleans, one 32-bit value an
// argument.
int32_t MCP_HOSTAPI RegisterInfoService(uint32_t w0, uint32_t w1, uint32_t a1, uint32_t a2,
                                        uint32_t kind, const void* record, uint32_t size) {
  const Sheltered s(kRegisterInfo);
  return gCurrent->registerInfo(w0, w1, a1, a2, kind, record, size);
}
int32_t MCP_HOSTAPI GetViewAttributeService(ViewHandle view, const char* key, char* buffer,
                                            int32_t size) {
  const Sheltered s(kGetViewAttribute);
  return gCurrent->getViewAttribute(view, key, buffer, size);
}
int32_t MCP_HOSTAPI SetViewAttributeService(ViewHandle view, const char* key, const char* value,
                                            int32_t flag) {
  const Sheltered s(kSetViewAttribute);
  return gCurrent->setViewAttribute(view, key, value, flag);
}
int32_t MCP_HOSTAPI RefreshViewsService(uint32_t target, int32_t which) {
  const Sheltered s(kRefreshViews);
  return gCurrent->refreshViews(target, which);
}
int32_t MCP_HOSTAPI GetViewCameraService(ViewHandle view, uint32_t* v1, uint32_t* v2, uint32_t* v3,
                                         uint32_t* v4, uint32_t* v5, uint32_t* v6, uint32_t* v7,
                                         uint32_t* v8) {
  const Sheltered s(kGetViewCamera);
  uint32_t* const values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
  return gCurrent->getViewCamera(view, values);
}
int32_t MCP_HOSTAPI SetViewCameraService(ViewHandle view, uint32_t v1, uint32_t v2, uint32_t v3,
                                         uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7,
                                         uint32_t v8) {
  const Sheltered s(kSetViewCamera);
  const uint32_t values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
  return gCurrent->setViewCamera(view, values);
}

// A slot the tool must never call. Its argument count is unknown, so it cannot
// return safely: it says which slot it is and stops the program.
template <uint32_t Slot>
int32_t MCP_HOSTAPI Trap() {
  std::fprintf(stderr, "simulated host: the plug-in called unused service slot %u\n",
               static_cast<unsigned>(Slot));
  std::fflush(stderr);
  std::abort();
}

template <uint32_t... Slots>
constexpr std::array<void*, sizeof...(Slots)> Traps(std::integer_sequence<uint32_t, Slots...>) {
  return {reinterpret_cast<void*>(&Trap<Slots>)...};
}

const std::array<void*, kServiceSlots> kTraps =
    Traps(std::make_integer_sequence<uint32_t, kServiceSlots>());

}  // namespace

void* ServiceForSlot(uint32_t slot) {
  switch (slot) {
    case kRegisterInfo: return reinterpret_cast<void*>(&RegisterInfoService);
    case kGetViewAttribute: return reinterpret_cast<void*>(&GetViewAttributeService);
    case kSetViewAttribute: return reinterpret_cast<void*>(&SetViewAttributeService);
    case kRefreshViews: return reinterpret_cast<void*>(&RefreshViewsService);
    case kGetViewCamera: return reinterpret_cast<void*>(&GetViewCameraService);
    case kSetViewCamera: return reinterpret_cast<void*>(&SetViewCameraService);
    default: return slot < kServiceSlots ? kTraps[slot] : nullptr;
  }
}

std::string View::text(const std::string& key) const {
  auto it = attributes.find(key);
  return it == attributes.end() ? "" : it->second.value;
}

Host::Host(const Plugin& plugin) : plugin_(plugin), previous_(gCurrent) { gCurrent = this; }
Host::~Host() { gCurrent = previous_; }
Host* Host::current() { return gCurrent; }

void Host::Bind() {
  for (uint32_t slot = 0; slot < kServiceSlots; ++slot)
    plugin_.InitializePluginProc(slot, ServiceForSlot(slot));
}

bool Host::Start(uint32_t hostVersion) {
  Bind();
  if (plugin_.PluginEntry(0, plugin_.module, hostVersion) != 1) return false;
  bool ok = plugin_.GetPluginInfo(0x11, 0x22, 0) == 1;
  ok = plugin_.GetToolInfo(0x11, 0x22, kToolId.word0, kToolId.word1) == 1 && ok;
  ok = plugin_.GetGUIInfo(0x11, 0x22, kToolId.word0, kToolId.word1) == 1 && ok;
  return ok && option(3) != nullptr;
}

GuiOptionRecord* Host::option(int i) const {
  int seen = 0;
  for (const Registration& r : registrations) {
    if (r.kind == kGuiOption && seen++ == i)
      return static_cast<GuiOptionRecord*>(const_cast<void*>(r.record));
  }
  return nullptr;
}

void Host::SetOption(int i, uint8_t value) {
  if (GuiOptionRecord* record = option(i)) record->value = value;
}

int32_t Host::Press(ViewHandle view, uint32_t buttons, uint32_t refreshTarget,
                    unsigned char* context) {
  return plugin_.ToolMouseButton(0, 0, kToolId.word0, kToolId.word1, 0, 0, 1, buttons, view,
                                 refreshTarget, own(context));
}

int32_t Host::Release(ViewHandle view, uint32_t buttons, uint32_t refreshTarget,
                      unsigned char* context) {
  return plugin_.ToolMouseButton(0, 0, kToolId.word0, kToolId.word1, 0, 0, 0, buttons, view,
                                 refreshTarget, own(context));
}

int32_t Host::Move(ViewHandle view, uint32_t buttons, unsigned char* context) {
  return plugin_.ToolMouseMove(0, 0, kToolId.word0, kToolId.word1, 0, 0, buttons, view, 0,
                               own(context));
}

uint8_t Host::Switch(unsigned char* context) {
  return plugin_.ToolSwitch(0, 0, kToolId.word0, kToolId.word1, 0, 0, own(context));
}

int32_t DragState(const unsigned char* context) {
  int32_t state;
  std::memcpy(&state, context + kDragStateByte, sizeof state);
  return state;
}

void Host::setDragState(int32_t state) {
  std::memcpy(context_.data() + kDragStateByte, &state, sizeof state);
}

std::vector<std::string> Host::calls() const {
  std::vector<std::string> texts;
  for (const Call& c : log) texts.push_back(c.text);
  return texts;
}

int32_t Host::registerInfo(uint32_t w0, uint32_t w1, uint32_t a1, uint32_t a2, uint32_t kind,
                           const void* record, uint32_t size) {
  const auto* bytes = static_cast<const uint8_t*>(record);
  registrations.push_back({w0, w1, a1, a2, kind, record, {bytes, bytes + size}});
  log.push_back(
      {kRegisterInfo,
       {w0, w1, a1, a2, kind, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record)), size},
       "RegisterInfo(" + Hex(w0) + "," + Hex(w1) + "," + Hex(a1) + "," + Hex(a2) + "," +
           std::to_string(kind) + ",record," + std::to_string(size) + ")"});
  return 1;
}

int32_t Host::getViewAttribute(ViewHandle view, const char* key, char* buffer, int32_t size) {
  log.push_back({kGetViewAttribute,
                 {view, 0, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer)),
                  static_cast<uint32_t>(size)},
                 "GetViewAttribute(" + std::to_string(view) + "," + Quoted(key) + "," +
                     (buffer ? "buffer" : "null") + "," + std::to_string(size) + ")"});
  const View& v = views_[view];
  auto it = key ? v.attributes.find(key) : v.attributes.end();
  if (it == v.attributes.end()) return 0;
  const Attribute& a = it->second;
  const int32_t needed = static_cast<int32_t>(a.value.size()) + 1;
  if (!buffer) return a.sizeAnswer.value_or(needed);
  if (size <= 0) return a.valueAnswer.value_or(0);
  if (!a.terminated) {
    // A careless host: every byte of the buffer filled, no terminator.
    for (int32_t i = 0; i < size; ++i)
      buffer[i] = a.value.empty() ? '9' : a.value[static_cast<size_t>(i) % a.value.size()];
    return a.valueAnswer.value_or(size);
  }
  if (size < needed) return a.valueAnswer.value_or(0);
  std::memcpy(buffer, a.value.c_str(), static_cast<size_t>(needed));
  return a.valueAnswer.value_or(needed);
}

int32_t Host::setViewAttribute(ViewHandle view, const char* key, const char* value, int32_t flag) {
  log.push_back({kSetViewAttribute,
                 {view, 0, 0, static_cast<uint32_t>(flag)},
                 "SetViewAttribute(" + std::to_string(view) + "," + Quoted(key) + "," +
                     Quoted(value) + "," + std::to_string(flag) + ")"});
  if (key && value) views_[view].attributes[key].value = value;
  return 1;
}

int32_t Host::refreshViews(uint32_t target, int32_t which) {
  log.push_back({kRefreshViews,
                 {target, static_cast<uint32_t>(which)},
                 "RefreshViews(" + Hex(target) + "," + std::to_string(which) + ")"});
  if (onRefresh) onRefresh(target);
  return 1;
}

int32_t Host::getViewCamera(ViewHandle view, uint32_t* const values[8]) {
  log.push_back({kGetViewCamera, {view}, "GetViewCamera(" + std::to_string(view) + ")"});
  const View& v = views_[view];
  for (int i = 0; i < 8; ++i) *values[i] = v.camera[static_cast<size_t>(i)];
  return 1;
}

int32_t Host::setViewCamera(ViewHandle view, const uint32_t values[8]) {
  std::string text = "SetViewCamera(" + std::to_string(view);
  for (int i = 0; i < 8; ++i)
    text.append(",").append(i == 4 || i == 5 ? Number(std::bit_cast<float>(values[i]))
                                             : Hex(values[i]));
  log.push_back({kSetViewCamera,
                 {view, values[0], values[1], values[2], values[3], values[4], values[5], values[6],
                  values[7]},
                 text + ")"});
  View& v = views_[view];
  for (int i = 0; i < 8; ++i) v.camera[static_cast<size_t>(i)] = values[i];
  return 1;
}

}  // namespace sim
