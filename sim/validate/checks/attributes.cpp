// Checks of how the module reads a view attribute: hostile sizes and texts,
// and values without a terminator that a careless reader would read past.
// What it read is seen through what it does: a "UV" read as non-zero makes a
// press decline before the camera is read; a "Pers" read as 0 makes a move
// leave the camera alone.
#include <climits>
#include <cstring>
#include <optional>

#include "host/abi.h"
#include "sim/host/desktop.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// One way the host answers, and what the value then is (none: the fallback).
struct Answer {
  std::string what;
  Attribute attribute;
  std::optional<int32_t> value;
  // Sizes a heap may refuse: the fallback unless the value was asked for.
  bool mayRefuse = false;
};

Answer Text(const std::string& text, std::optional<int32_t> value) {
  return {Cat({"\"", text, "\""}), Value(text), value};
}

Answer Sized(const std::string& text, int32_t size, std::optional<int32_t> value) {
  Answer a{Format("\"%s\" with size %d", text.c_str(), size), Value(text), value};
  a.attribute.sizeAnswer = size;
  return a;
}

// The host fills all size bytes, repeating text, and writes no terminator.
Answer Unterminated(const std::string& text, int32_t size, std::optional<int32_t> value) {
  Answer a{Format("%d bytes of \"%s%s\" without a terminator", size, text.substr(0, 12).c_str(),
                  text.size() > 12 ? "..." : ""),
           Value(text), value};
  a.attribute.sizeAnswer = size;
  a.attribute.terminated = false;
  return a;
}

Answer Returning(const std::string& text, int32_t result, std::optional<int32_t> value) {
  Answer a{Format("\"%s\" with the value query answering %d", text.c_str(), result), Value(text),
           value};
  a.attribute.valueAnswer = result;
  return a;
}

std::vector<Answer> Answers() {
  const std::string zeros64(64, '0'), zeros63(63, '0');
  std::vector<Answer> a = {
      Text("1", 1),
      Text("0", 0),
      Text("", 0),
      // Sizes that say "absent", or that no buffer can have.
      Sized("1", 0, std::nullopt),
      Sized("1", -1, std::nullopt),
      Sized("1", INT_MIN, std::nullopt),
      Sized("1", 1, std::nullopt),  // too small for the value: the host delivers nothing
      Sized("1", 5, 1),
      // What the value query itself answers.
      Returning("1", 0, std::nullopt),
      Returning("1", -1, std::nullopt),
      Returning("0", 0, std::nullopt),
      Returning("0", INT_MIN, std::nullopt),
      // Exactly n bytes and no terminator.
      Unterminated("1", 1, 1),
      Unterminated("0", 1, 0),
      Unterminated("01", 1, 0),
      Unterminated("10", 1, 1),
      Unterminated("0000000001", 10, 1),
      Unterminated("0", 64, 0),
      Unterminated(zeros63 + "1", 64, 1),
      Unterminated("0", 65, 0),
      Unterminated(zeros64 + "1", 65, 1),
      Unterminated(std::string(1000, '0') + "7", 1001, 7),
      Unterminated("0", 1 << 20, 0),
      Unterminated("0001", 1 << 20, INT32_MAX),
      Unterminated("  ", 2, 0),
      Unterminated("4294967296", 10, INT32_MAX),
      // Letters and signs.
      Text("abc", 0),
      Text("x1", 0),
      Text("1x", 1),
      Text("0x1", 0),
      Text("+1", 1),
      Text("-1", -1),
      Text("+-1", 0),
      Text("--1", 0),
      Text("-", 0),
      Text("+", 0),
      Text("- 1", 0),
      Text("-0", 0),
      Text("-0000", 0),
      // White space as atoi knows it, and what is not.
      Text(" 1", 1),
      Text("\t\n\v\f\r 1", 1),
      Text("  ", 0),
      Text(std::string(" \0 1", 4), 0),
      Text("1 2", 1),
      Text(" +7", 7),
      Text("+ 7", 0),
      // Digits past every limit, among them those that wrap to 0.
      Text("2147483647", INT32_MAX),
      Text("2147483648", INT32_MAX),
      Text("4294967296", INT32_MAX),
      Text("-4294967296", INT32_MIN),
      Text("18446744073709551616", INT32_MAX),
      Text("99999999999999999999999999999", INT32_MAX),
      Text("-2147483648", INT32_MIN),
      Text("00000000004294967296", INT32_MAX),
      Text(std::string(44, '0'), 0),
  };
  for (int32_t huge : {0x7FFFFFFF, 0x40000000}) {
    a.push_back(Sized("1", huge, 1));
    a.back().mayRefuse = true;
  }
  return a;
}

bool ValueAsked(const Host& host, const char* key) {
  const std::string quoted = Cat({"\"", key, "\""});
  for (const Call& c : host.log)
    if (c.slot == kGetViewAttribute && c.args[2] != 0 && c.text.find(quoted) != std::string::npos)
      return true;
  return false;
}

}  // namespace

bool AttributeAnswers(Probe& p, Host& host) {
  View& view = host.view(1);
  SetCursor(400, 300);
  int cases = 0;
  for (const Answer& answer : Answers()) {
    for (const char* key : {"UV", "Pers"}) {
      const bool uv = key[0] == 'U';
      p.At(Format("\"%s\" answered %s", key, answer.what.c_str()));
      view.plain();
      host.setDragState(0);
      bool noticed;  // the value counted as non-zero
      if (uv) {
        view.attributes["UV"] = answer.attribute;
        host.ClearLog();
        host.Press(1);
        noticed = CountCalls(host, kGetViewCamera) == 0;
      } else {
        if (host.Press(1) != 0 || host.dragState() != 1)
          return p.Fail(Cat({"a press on a plain view did not take hold: ", LogText(host)}));
        view.attributes["Pers"] = answer.attribute;
        host.ClearLog();
        host.Move(1);
        noticed = CountCalls(host, kSetViewCamera) != 0;
      }
      std::optional<int32_t> value = answer.value;
      if (answer.mayRefuse && !ValueAsked(host, key)) value.reset();
      const int32_t expected = value.value_or(uv ? 0 : 1);
      ++cases;
      if (noticed != (expected != 0))
        return p.Fail(
            Format("\"%s\" answered %s: %s, so it was read as %s (expected %s%d)", key,
                   answer.what.c_str(),
                   uv ? (noticed ? "the press was declined" : "the press went ahead")
                      : (noticed ? "the move turned the camera" : "the move left the camera alone"),
                   noticed ? "non-zero" : "0", value ? "" : "the fallback ", expected));
    }
  }
  p.Note(Format("%d answers", cases));
  return true;
}

// --- Reading past n ----------------------------------------------------------

namespace {

// Lean services for the attacked events: no heap and no log, so nothing but
// the module itself touches its buffers between two events.
struct Lean {
  const char* key;  // the attacked attribute
  int phase;        // 0: the long answer, 1: the short one
  int32_t longSize, shortSize;
  int cameraReads, cameraWrites;
} gLean;

int32_t MCP_HOSTAPI LeanGetAttribute(ViewHandle, const char* key, char* buffer, int32_t size) {
  if (!key || std::strcmp(key, gLean.key) != 0) {
    // Any other attribute: "0" for UV, "1" for Pers.
    if (!buffer) return 2;
    if (size < 2) return 0;
    buffer[0] = key && std::strcmp(key, "UV") == 0 ? '0' : '1';
    buffer[1] = '\0';
    return 2;
  }
  const int32_t n = gLean.phase == 0 ? gLean.longSize : gLean.shortSize;
  if (!buffer) return n;
  if (size < n) return 0;
  // Long: zeros where the short value will be, ones after it, a terminator.
  // Short: zeros only, every byte, no terminator.
  std::memset(buffer, '0', static_cast<size_t>(gLean.shortSize));
  if (gLean.phase == 0) {
    std::memset(buffer + gLean.shortSize, '1', static_cast<size_t>(n - 1 - gLean.shortSize));
    buffer[n - 1] = '\0';
  }
  return n;
}

int32_t MCP_HOSTAPI LeanSetAttribute(ViewHandle, const char*, const char*, int32_t) { return 1; }
int32_t MCP_HOSTAPI LeanRefresh(uint32_t, int32_t) { return 1; }
int32_t MCP_HOSTAPI LeanGetCamera(ViewHandle, uint32_t* v1, uint32_t* v2, uint32_t* v3,
                                  uint32_t* v4, uint32_t* v5, uint32_t* v6, uint32_t* v7,
                                  uint32_t* v8) {
  ++gLean.cameraReads;
  *v1 = *v2 = *v3 = *v4 = *v5 = *v6 = *v7 = *v8 = 0;
  return 1;
}
int32_t MCP_HOSTAPI LeanSetCamera(ViewHandle, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                  uint32_t, uint32_t, uint32_t) {
  ++gLean.cameraWrites;
  return 1;
}

// Two presses back to back: the long "UV" is non-zero and declines the
// first; the short one is 0 and must let the second go ahead. Nothing runs
// in between, so a reader that goes past the short n finds the long one's
// ones still in its buffer.
__attribute__((noinline)) void PrimedPresses(const Plugin& plugin, unsigned char* context,
                                             int* readsAfterFirst) {
  gLean.phase = 0;
  plugin.ToolMouseButton(0, 0, kOurs0, kOurs1, 0, 0, 1, 1, 1, 0x7E, context);
  *readsAfterFirst = gLean.cameraReads;
  gLean.phase = 1;
  plugin.ToolMouseButton(0, 0, kOurs0, kOurs1, 0, 0, 1, 1, 1, 0x7E, context);
}

// The same with "Pers" and two moves: the first turns, the second must not.
__attribute__((noinline)) void PrimedMoves(const Plugin& plugin, unsigned char* context,
                                           int* writesAfterFirst) {
  gLean.phase = 0;
  plugin.ToolMouseMove(0, 0, kOurs0, kOurs1, 0, 0, 1, 1, 0, context);
  *writesAfterFirst = gLean.cameraWrites;
  gLean.phase = 1;
  plugin.ToolMouseMove(0, 0, kOurs0, kOurs1, 0, 0, 1, 1, 0, context);
}

}  // namespace

bool AttributeBounds(Probe& p, Host& host) {
  const Plugin& plugin = host.plugin();
  plugin.InitializePluginProc(kGetViewAttribute, reinterpret_cast<void*>(&LeanGetAttribute));
  plugin.InitializePluginProc(kSetViewAttribute, reinterpret_cast<void*>(&LeanSetAttribute));
  plugin.InitializePluginProc(kRefreshViews, reinterpret_cast<void*>(&LeanRefresh));
  plugin.InitializePluginProc(kGetViewCamera, reinterpret_cast<void*>(&LeanGetCamera));
  plugin.InitializePluginProc(kSetViewCamera, reinterpret_cast<void*>(&LeanSetCamera));
  SetCursor(400, 300);
  int pairs = 0;
  for (int32_t shortSize : {1, 2, 3, 8, 16, 32, 48, 63, 64, 65, 70, 100, 128, 200, 1000}) {
    for (int32_t longSize :
         {shortSize + 8, shortSize + 17, 2 * shortSize + 9, 40, 64, 65, 128, 256, 2048}) {
      if (longSize < shortSize + 2) continue;
      ++pairs;
      const std::string what =
          Format("%d bytes \"000...111\" with a terminator, then %d zeros without one", longSize,
                 shortSize);
      p.At(Cat({"\"UV\" answered ", what}));
      gLean = {"UV", 0, longSize, shortSize, 0, 0};
      host.setDragState(0);
      int readsAfterFirst;
      PrimedPresses(plugin, host.context(), &readsAfterFirst);
      if (readsAfterFirst != 0)
        return p.Fail(
            Format("\"UV\" answered %d bytes \"000...111\" with a terminator: the press "
                   "went ahead, so it was read as 0 (expected non-zero)",
                   longSize));
      if (gLean.cameraReads == readsAfterFirst)
        return p.Fail(Cat({"\"UV\" answered ", what,
                           ": the second press was declined, so the value was read past its ",
                           std::to_string(shortSize), " bytes (expected 0)"}));

      p.At(Cat({"\"Pers\" answered ", what}));
      gLean = {"Pers", 0, longSize, shortSize, 0, 0};
      host.setDragState(0);
      plugin.ToolMouseButton(0, 0, kOurs0, kOurs1, 0, 0, 1, 1, 1, 0x7E, host.context());
      int writesAfterFirst;
      PrimedMoves(plugin, host.context(), &writesAfterFirst);
      if (writesAfterFirst != 1)
        return p.Fail(
            Format("\"Pers\" answered %d bytes \"000...111\" with a terminator: the "
                   "move left the camera alone, so it was read as 0 (expected non-zero)",
                   longSize));
      if (gLean.cameraWrites != writesAfterFirst)
        return p.Fail(Cat({"\"Pers\" answered ", what,
                           ": the second move turned the camera, so the value was read past its ",
                           std::to_string(shortSize), " bytes (expected 0)"}));
    }
  }
  host.setDragState(0);
  host.Bind();
  p.Note(Format("%d long-then-short pairs", pairs));
  return true;
}

}  // namespace sim::validate
