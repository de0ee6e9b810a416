// Checks of how a drag turns the camera: opaque values back bit for bit, the
// pitch limit, the cursor at the ends of the screen, and long drags whose
// end depends on nothing but where they end.
#include <windows.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "host/abi.h"
#include "host/options.h"
#include "sim/host/desktop.h"
#include "sim/rules/oracle.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/stopwatch.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// Camera values 1-4, 7 and 8, counted from 0: the ones no one interprets.
constexpr int kOpaque[6] = {0, 1, 2, 3, 6, 7};

// --- Opaque values ---------------------------------------------------------

const uint32_t kPatterns[16] = {
    0x7F800001, 0xFF800001, 0x7FBFFFFF, 0xFFBFFFFF, 0x7FC00000, 0xFFC00001, 0x7F800000, 0xFF800000,
    0x80000000, 0x00000001, 0x807FFFFF, 0x7F7FFFFF, 0xFFFFFFFF, 0x00000000, 0x3F800000, 0xDEADBEEF};

// Every camera write since the log was cleared carried the opaque values as
// sent.
bool OpaqueKept(Probe& p, Host& host, const std::array<uint32_t, 8>& sent, const char* event) {
  for (const Call& c : host.log) {
    if (c.slot != kSetViewCamera) continue;
    for (int i : kOpaque)
      if (c.args[1 + i] != sent[i])
        return p.Fail(Format("value %d went to the module as %s and came back as %s after %s",
                             i + 1, Bits(sent[i]).c_str(), Bits(c.args[1 + i]).c_str(), event));
  }
  host.ClearLog();
  return true;
}

}  // namespace

bool OpaqueValues(Probe& p, Host& host) {
  View& view = host.view(1);
  view.plain();
  SetCtrl(true);
  for (int r = 0; r < 16; ++r) {
    for (bool oddAngles : {false, true}) {
      std::array<uint32_t, 8> sent{};
      for (int i = 0; i < 6; ++i) sent[kOpaque[i]] = kPatterns[(r + i) % 16];
      sent[4] = oddAngles ? kPatterns[r] : std::bit_cast<uint32_t>(3.0f);
      sent[5] = oddAngles ? kPatterns[(r + 7) % 16] : std::bit_cast<uint32_t>(2.0f);
      p.At(Format("a drag with the camera %s %s %s %s %s %s %s %s", Bits(sent[0]).c_str(),
                  Bits(sent[1]).c_str(), Bits(sent[2]).c_str(), Bits(sent[3]).c_str(),
                  Bits(sent[4]).c_str(), Bits(sent[5]).c_str(), Bits(sent[6]).c_str(),
                  Bits(sent[7]).c_str()));
      host.setDragState(0);
      view.camera = sent;
      host.ClearLog();
      SetCursor(400, 300);
      host.Press(1);
      SetCursor(405, 302);
      host.Move(1);
      if (!OpaqueKept(p, host, sent, "a move")) return false;
      SetCursor(407, 303);
      host.Move(1);
      if (!OpaqueKept(p, host, sent, "a second move")) return false;
      host.Release(1);
      const bool snapped = Written(host) != nullptr;
      if (!OpaqueKept(p, host, sent, "a snap")) return false;
      if (!oddAngles && !snapped)
        return p.Fail("a release with Ctrl held at heading 10 and pitch 5 did not snap");
    }
  }
  SetCtrl(false);
  p.Note("32 drags, 16 bit patterns in every opaque value, plain and odd angles");
  return true;
}

// --- The pitch limit ---------------------------------------------------------

bool PitchLimit(Probe& p, Host& host) {
  View& view = host.view(1);
  view.plain();
  const Screen s = CursorScreen();
  const int32_t x = (s.left + s.right) / 2, mid = (s.top + s.bottom) / 2;
  const float anchors[] = {0.0f,
                           89.0f,
                           90.0f,
                           std::nextafter(90.0f, INFINITY),
                           std::nextafter(90.0f, 0.0f),
                           -90.0f,
                           std::nextafter(-90.0f, -INFINITY),
                           std::nextafter(-90.0f, 0.0f),
                           1e38f,
                           -1e38f,
                           INFINITY,
                           -INFINITY,
                           FloatBits(0x7FC00000),
                           FloatBits(0x7F800001),
                           -0.0f,
                           FloatBits(0x00000001),
                           180.0f,
                           -270.0f};
  const int32_t travels[][2] = {{mid, mid},        {mid, mid + 1},    {mid, mid - 1},
                                {s.top, s.bottom}, {s.bottom, s.top}, {mid, s.bottom}};
  int drags = 0;
  for (uint8_t option : {1, 0, 2, 255}) {
    host.SetOption(kLimitPitch, option);
    for (float anchor : anchors) {
      for (const auto& t : travels) {
        p.At(Format("LimitPitch %d, a drag from pitch %s by %d pixels", option,
                    Angle(anchor).c_str(), t[1] - t[0]));
        host.setDragState(0);
        view.setAngles(0, anchor);
        int32_t px, py, qx, qy;
        CursorTo(x, t[0], &px, &py);
        host.Press(1);
        CursorTo(x, t[1], &qx, &qy);
        host.ClearLog();
        host.Move(1);
        const uint32_t* w = Written(host);
        if (!w)
          return p.Fail(Cat({"a move during a drag did not turn the camera: ", LogText(host)}));
        const float got = FloatBits(w[5]);
        const float turned = Turned(anchor, py, qy);
        const float expected = option == 1 ? Limited(turned) : turned;
        ++drags;
        if (option == 1 && (got > 90.0f || got < -90.0f))
          return p.Fail(
              Format("with the pitch limit on, a drag from pitch %s by %d pixels "
                     "turned the pitch to %s, beyond 90 degrees",
                     Angle(anchor).c_str(), qy - py, Angle(got).c_str()));
        if (!SameAngle(got, expected))
          return p.Fail(Format(
              "with LimitPitch %d, a drag from pitch %s by %d pixels turned the "
              "pitch to %s (expected %s)",
              option, Angle(anchor).c_str(), qy - py, Angle(got).c_str(), Angle(expected).c_str()));
      }
    }
  }
  host.SetOption(kLimitPitch, 1);
  p.Note(Format("%d drags", drags));
  return true;
}

// --- The cursor at the ends of the screen ------------------------------------

bool CursorExtremes(Probe& p, Host& host) {
  View& view = host.view(1);
  view.plain();
  const Screen s = CursorScreen();
  const int32_t xs[] = {s.left, s.left + 1, (s.left + s.right) / 2, s.right - 1, s.right};
  const int32_t ys[] = {s.top, s.top + 1, (s.top + s.bottom) / 2, s.bottom - 1, s.bottom};
  const int32_t presses[][2] = {
      {xs[0], ys[0]}, {xs[4], ys[4]}, {xs[0], ys[4]}, {xs[4], ys[0]}, {xs[2], ys[2]}};
  const float headings[] = {0.0f,        0.1f,  -359.9f, 16777216.0f, 16777218.0f, -16777216.0f,
                            1e7f + 0.5f, 3e38f, -3e38f,  FLT_MAX,     -FLT_MAX};
  const float pitches[] = {0.0f, 45.5f, -90.0f, 16777216.0f};
  int moves = 0, moved = 0;
  for (uint8_t limit : {1, 0}) {
    host.SetOption(kLimitPitch, limit);
    for (size_t a = 0; a < std::size(headings); ++a) {
      const float heading = headings[a], pitch = pitches[a % std::size(pitches)];
      for (const auto& press : presses) {
        host.setDragState(0);
        view.setAngles(heading, pitch);
        int32_t px, py;
        CursorTo(press[0], press[1], &px, &py);
        moved += px != press[0] || py != press[1];
        p.At(Format("LimitPitch %d, a press at %d,%d at heading %s, pitch %s", limit, px, py,
                    Angle(heading).c_str(), Angle(pitch).c_str()));
        host.Press(1);
        for (int32_t x : xs)
          for (int32_t y : ys) {
            int32_t qx, qy;
            CursorTo(x, y, &qx, &qy);
            moved += qx != x || qy != y;
            const std::string where =
                Format("LimitPitch %d, a drag from %d,%d at heading %s, pitch %s to %d,%d", limit,
                       px, py, Angle(heading).c_str(), Angle(pitch).c_str(), qx, qy);
            p.At(where);
            host.ClearLog();
            host.Move(1);
            const uint32_t* w = Written(host);
            const float h = Turned(heading, px, qx), t = Turned(pitch, py, qy);
            const float v = limit == 1 ? Limited(t) : t;
            ++moves;
            if (!w || !SameAngle(FloatBits(w[4]), h) || !SameAngle(FloatBits(w[5]), v))
              return p.Fail(Format(
                  "%s turned the camera to %s (expected heading %s, pitch %s)", where.c_str(),
                  w ? Cat({Angle(FloatBits(w[4])), ", ", Angle(FloatBits(w[5]))}).c_str()
                    : "nothing",
                  Angle(h).c_str(), Angle(v).c_str()));
          }
      }
    }
  }
  host.SetOption(kLimitPitch, 1);
  p.Note(Format(
      "%d moves across %d,%d-%d,%d%s", moves, s.left, s.top, s.right, s.bottom,
      moved ? Format(", the system moved the cursor elsewhere %d times", moved).c_str() : ""));
  return true;
}

// --- Long drags --------------------------------------------------------------

bool LongDrag(Probe& p, Host& host) {
  View& view = host.view(1);
  view.plain();
  const Screen s = CursorScreen();
  const auto within = [](int64_t v, int32_t lo, int32_t hi) {
    return static_cast<int32_t>(v < lo ? lo : v > hi ? hi : v);
  };
  const auto anywhere = [&](int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(p.rng() % static_cast<uint64_t>(hi - lo + 1));
  };
  const float heading = 12345.678f, pitch = 33.3f;
  view.setAngles(heading, pitch);
  int32_t px, py;
  CursorTo(anywhere(s.left, s.right), anywhere(s.top, s.bottom), &px, &py);
  p.At(Format("the press at %d,%d that starts the drag", px, py));
  host.Press(1);
  const uint64_t count = p.Scaled(10000, 100000, 1000000);
  int32_t x = px, y = py;
  const Stopwatch clock;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t kind = p.rng() % 100;
    if (kind < 90) {  // a hand's small steps
      x = within(int64_t{x} + static_cast<int64_t>(p.rng() % 19) - 9, s.left, s.right);
      y = within(int64_t{y} + static_cast<int64_t>(p.rng() % 19) - 9, s.top, s.bottom);
    } else if (kind < 95) {  // a jump
      x = anywhere(s.left, s.right), y = anywhere(s.top, s.bottom);
    } else {  // into a corner
      x = p.rng() % 2 ? s.left : s.right, y = p.rng() % 2 ? s.top : s.bottom;
    }
    // Now and then the right button too, or the right button alone.
    const uint32_t buttons = i % 97 == 96 ? 2 : i % 31 == 30 ? 3 : 1;
    if (i % 4096 == 0) {
      p.At(Format("move %llu of %llu, to %d,%d", static_cast<unsigned long long>(i),
                  static_cast<unsigned long long>(count), x, y));
      int32_t gx, gy;
      CursorTo(x, y, &gx, &gy);
      if (gx != x || gy != y)
        return p.Fail(Format("the system put the cursor at %d,%d instead of %d,%d", gx, gy, x, y));
    } else {
      SetCursor(x, y);
    }
    host.ClearLog();
    const int32_t r = host.Move(1, buttons);
    const uint32_t* w = Written(host);
    if (!(buttons & 1)) {
      if (r != 2 || w)
        return p.Fail(
            Format("move %llu of a drag, with the right button only, answered %d and "
                   "made %s (expected 2 and no camera write)",
                   static_cast<unsigned long long>(i), r, LogText(host).c_str()));
      continue;
    }
    const float h = Turned(heading, px, x), t = Limited(Turned(pitch, py, y));
    if (r != 0 || !w || !SameAngle(FloatBits(w[4]), h) || !SameAngle(FloatBits(w[5]), t))
      return p.Fail(Format(
          "move %llu of a drag from %d,%d at heading %s, pitch %s, to %d,%d "
          "answered %d and turned the camera to %s (expected heading %s, pitch "
          "%s, from the anchor and this position alone)",
          static_cast<unsigned long long>(i), px, py, Angle(heading).c_str(), Angle(pitch).c_str(),
          x, y, r,
          w ? Cat({Angle(FloatBits(w[4])), ", ", Angle(FloatBits(w[5]))}).c_str() : "nothing",
          Angle(h).c_str(), Angle(t).c_str()));
  }
  const double seconds = clock.seconds();
  host.Release(1);
  p.Note(Format("%llu moves in %.1f s (%.1f us a move, the cursor's own move included)",
                static_cast<unsigned long long>(count), seconds, seconds * 1e6 / count));
  return true;
}

}  // namespace sim::validate
