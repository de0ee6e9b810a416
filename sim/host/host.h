// The simulated host: a host application made of small real behaviours,
// views with named text attributes and an eight-value camera, the six
// services the tool may call, a log of every call, and traps on every other
// slot. One Host is current at a time; the services, being plain functions,
// reach it through that. Beside it in this folder: the module as the host
// sees it, linked in or loaded through the Windows loader (plugin.h), read
// as an image (image.h) and called in a calling environment of the host's
// choosing (stack_probe.h), and the system the module reads (desktop.h).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/abi.h"
#include "sim/host/plugin.h"

namespace sim {

using orbitrix::ViewHandle;

// One named attribute. The optional answers make the host misbehave on
// purpose; left unset, the host follows its contract.
struct Attribute {
  std::string value;
  std::optional<int32_t> sizeAnswer;   // what the size query answers
  std::optional<int32_t> valueAnswer;  // what the value query answers
  bool terminated = true;              // false: fill all n bytes, no NUL
};

// An attribute the host answers as its contract says.
inline Attribute Value(std::string text) {
  Attribute a;
  a.value = std::move(text);
  return a;
}

struct View {
  std::map<std::string, Attribute> attributes;
  std::array<uint32_t, 8> camera{};

  float heading() const { return std::bit_cast<float>(camera[4]); }
  float pitch() const { return std::bit_cast<float>(camera[5]); }
  void setAngles(float heading, float pitch) {
    camera[4] = std::bit_cast<uint32_t>(heading);
    camera[5] = std::bit_cast<uint32_t>(pitch);
  }
  // The attribute's value, or "" when the view has none.
  std::string text(const std::string& key) const;
  // A perspective view ("Pers" 1) that is not a UV view ("UV" 0).
  void plain() {
    attributes["UV"] = Value("0");
    attributes["Pers"] = Value("1");
  }
};

// One call of a host service, as the plug-in made it.
struct Call {
  uint32_t slot;
  std::vector<uint32_t> args;
  std::string text;  // readable form, e.g. SetViewAttribute(1,"TempOrtho","0",1)
};

// The host's own tool context, laid out as the host lays it out: a record of
// which the tool uses one field, the signed 32-bit drag state at byte 18.
// Written here from the host's side rather than taken from the module's
// headers, so that a module reading or writing the field elsewhere is caught.
constexpr size_t kContextBytes = 64;
constexpr size_t kDragStateByte = 18;

// The drag state in a context record.
int32_t DragState(const unsigned char* context);

struct Registration {
  uint32_t idWord0, idWord1, hostArg1, hostArg2, kind;
  const void* record;
  std::vector<uint8_t> bytes;  // copied during the call
};

class Host {
 public:
  explicit Host(const Plugin& plugin);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* current();

  // Fills all 131 slots: the six services, and a trap in every other one.
  void Bind();
  // Binds, enters with the version, and asks for the identity, the button
  // and the options, as a host does at start-up. Answers whether the plug-in
  // accepted the host and registered all it should.
  bool Start(uint32_t hostVersion = 0x50600);

  View& view(ViewHandle id) { return views_[id]; }
  const std::map<ViewHandle, View>& views() const { return views_; }

  // The option records the plug-in registered, in order; null before.
  orbitrix::GuiOptionRecord* option(int i) const;
  void SetOption(int i, uint8_t value);

  // Tool events for our tool id. They carry the host's own context record,
  // or the one given: a host with a context for each view passes the view's.
  int32_t Press(ViewHandle view, uint32_t buttons = 1, uint32_t refreshTarget = 0x7E,
                unsigned char* context = nullptr);
  int32_t Release(ViewHandle view, uint32_t buttons = 1, uint32_t refreshTarget = 0x7E,
                  unsigned char* context = nullptr);
  int32_t Move(ViewHandle view, uint32_t buttons = 1, unsigned char* context = nullptr);
  uint8_t Switch(unsigned char* context = nullptr);
  int32_t dragState() const { return DragState(context_.data()); }
  void setDragState(int32_t state);
  unsigned char* context() { return context_.data(); }

  // Called with the refresh target whenever the plug-in asks for a redraw.
  std::function<void(uint32_t target)> onRefresh;
  // Called with its slot as each service is entered, before the host does
  // anything: from here a test can make the service end abnormally.
  std::function<void(uint32_t slot)> onService;

  const Plugin& plugin() const { return plugin_; }
  std::vector<Call> log;
  std::vector<Registration> registrations;
  // The log's readable texts, for comparing whole call sequences.
  std::vector<std::string> calls() const;
  void ClearLog() { log.clear(); }

  // Service implementations, called through the current host.
  int32_t registerInfo(uint32_t w0, uint32_t w1, uint32_t a1, uint32_t a2, uint32_t kind,
                       const void* record, uint32_t size);
  int32_t getViewAttribute(ViewHandle view, const char* key, char* buffer, int32_t size);
  int32_t setViewAttribute(ViewHandle view, const char* key, const char* value, int32_t flag);
  int32_t refreshViews(uint32_t target, int32_t which);
  int32_t getViewCamera(ViewHandle view, uint32_t* const values[8]);
  int32_t setViewCamera(ViewHandle view, const uint32_t values[8]);

 private:
  Plugin plugin_;
  std::map<ViewHandle, View> views_;
  std::array<unsigned char, kContextBytes> context_{};
  Host* previous_;

  // The context an event carries: the one given, or the host's own.
  unsigned char* own(unsigned char* context) { return context ? context : context_.data(); }
};

// The services' addresses, by slot: the six real ones, traps elsewhere.
void* ServiceForSlot(uint32_t slot);

}  // namespace sim
