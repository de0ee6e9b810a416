// Every short sequence of events a clumsy user can make, each held to what
// the drag must answer and do at every step.
#include <cstring>

#include "host/abi.h"
#include "sim/host/desktop.h"
#include "sim/rules/oracle.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

enum Symbol { kPress, kMove, kRelease, kCtrlDown, kCtrlUp, kSwitch, kPress2, kMove2, kRelease2 };
const char* const kSymbols[] = {"press",           "move",           "release",
                                "Ctrl down",       "Ctrl up",        "switch",
                                "press on view 2", "move on view 2", "release on view 2"};

std::string Sequence(const std::vector<int>& s, size_t upTo) {
  std::string text;
  for (size_t i = 0; i < upTo; ++i) text.append(i ? ", " : "").append(kSymbols[s[i]]);
  return text.empty() ? "nothing" : text;
}

// Plays one sequence from rest and holds each event to what the contract
// gives for it: its answer, the drag state after it, and whether it wrote
// the camera (only a move during a drag, or a release that snaps).
bool PlaySequence(Probe& p, Host& host, const std::vector<int>& s) {
  std::memset(host.context(), 0, 64);
  host.view(1).plain();
  host.view(2).plain();
  host.view(1).setAngles(5, 3);
  host.view(2).setAngles(45, -40);
  bool ctrl = false;
  SetCtrl(false);
  int32_t state = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const int symbol = s[i];
    if (symbol == kCtrlDown || symbol == kCtrlUp) {
      ctrl = symbol == kCtrlDown;
      SetCtrl(ctrl);
      continue;
    }
    const ViewHandle v = symbol >= kPress2 ? 2 : 1;
    const int kind = symbol >= kPress2 ? symbol - kPress2 : symbol;
    const View& view = host.view(v);
    host.ClearLog();
    int32_t r = 0, expected = 0, next = state;
    bool mayWrite = false;
    if (symbol == kSwitch) {
      r = host.Switch();
      expected = 1, next = 0;
    } else if (kind == kPress) {
      SetCursor(400, 300);
      r = host.Press(v);
      if (state == 0) next = 1;
    } else if (kind == kMove) {
      SetCursor(400 + 6 * static_cast<int32_t>(i + 1), 300 - 4 * static_cast<int32_t>(i + 1));
      mayWrite = state >= 1;
      expected = mayWrite ? 0 : 2;
      if (mayWrite) next = 2;
      r = host.Move(v);
    } else {
      mayWrite = ctrl && NearRightAngle(view.heading()) && NearRightAngle(view.pitch());
      r = host.Release(v);
      next = 0;
    }
    const bool wrote = CountCalls(host, kSetViewCamera) > 0;
    if (r != expected || host.dragState() != next || wrote != mayWrite ||
        (symbol == kSwitch && !host.log.empty()))
      return p.Fail(Format(
          "after %s: %s answered %d with drag state %d and made %s (expected %d, "
          "drag state %d, %s)",
          Sequence(s, i).c_str(), kSymbols[symbol], r, host.dragState(), LogText(host).c_str(),
          expected, next, mayWrite ? "a camera write" : "no camera write"));
    state = next;
  }
  return true;
}

}  // namespace

bool EventOrder(Probe& p, Host& host) {
  const int longest = static_cast<int>(p.Scaled(4, 4, 5));
  int sequences = 0;
  for (int length = 1; length <= longest; ++length) {
    int total = 1;
    for (int i = 0; i < length; ++i) total *= 9;
    for (int n = 0; n < total; ++n) {
      std::vector<int> s;
      for (int i = 0, rest = n; i < length; ++i, rest /= 9) s.push_back(rest % 9);
      p.At(Cat({"the sequence ", Sequence(s, s.size())}));
      if (!PlaySequence(p, host, s)) return false;
      ++sequences;
    }
  }
  SetCtrl(false);
  p.Note(Format("%d sequences of up to %d events", sequences, longest));
  return true;
}

}  // namespace sim::validate
