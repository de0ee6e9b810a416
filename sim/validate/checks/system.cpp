// The system under the module failing as a real one may: GetCursorPos fails
// on a locked or disconnected desktop, LoadImageA may answer null, and
// GetKeyState answers with more bits than the one that says a key is down.
// The module's own imports of the three are pointed, in this child process,
// at stand-ins the check drives, and every event is held to the rules
// (sim/rules/events.h).
#include <windows.h>

#include <array>
#include <cstring>
#include <iterator>
#include <random>

#include "host/abi.h"
#include "host/options.h"
#include "sim/rules/events.h"
#include "sim/session/effect.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// What the stand-ins answer, and what they were asked.
struct StandIns {
  bool cursorFails = false;
  POINT cursor{};
  SHORT keyState = 0;
  int otherKey = 0;  // a key asked for other than Ctrl, or 0
  bool imageFails = false;
  HANDLE image = nullptr;  // the last image answered
  std::string imageAsked;  // the last LoadImageA call, in words
  HINSTANCE imageModule = nullptr;
};
StandIns gStandIns;

// A failing GetCursorPos leaves the point as it was and says why.
BOOL WINAPI CursorStandIn(LPPOINT point) {
  if (gStandIns.cursorFails) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  *point = gStandIns.cursor;
  return TRUE;
}

SHORT WINAPI KeyStateStandIn(int key) {
  if (key != VK_CONTROL) gStandIns.otherKey = key;
  return gStandIns.keyState;
}

HANDLE WINAPI ImageStandIn(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  gStandIns.imageModule = module;
  gStandIns.imageAsked =
      Format("LoadImageA(%s, %s, %u, %d, %d, 0x%X)", module ? "a module" : "null",
             IS_INTRESOURCE(name)
                 ? Format("#%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(name))).c_str()
                 : Quote(name).c_str(),
             type, cx, cy, flags);
  if (gStandIns.imageFails) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return gStandIns.image = nullptr;
  }
  return gStandIns.image = LoadImageA(module, name, type, cx, cy, flags);
}

// Points the module's import of name from user32.dll at standIn; false when
// it does not import it.
bool Redirect(HMODULE module, const char* name, const void* standIn) {
  const auto* image = reinterpret_cast<const BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return false;
  bool found = false;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + imports.VirtualAddress);
       d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(image + d->Name), "user32.dll") != 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
        image + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(const_cast<BYTE*>(image) + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(image + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD was;
      if (!VirtualProtect(slots, sizeof *slots, PAGE_READWRITE, &was)) return false;
      slots->u1.Function = static_cast<DWORD>(reinterpret_cast<uintptr_t>(standIn));
      VirtualProtect(slots, sizeof *slots, was, &was);
      found = true;
    }
  }
  return found;
}

// --- The button ----------------------------------------------------------

// The tool record as the rule builds it, but for its bitmap and its text
// pointer.
bool ButtonRecord(Probe& p, Host& host, const char* when) {
  DeleteButtons(host);  // the buttons registered so far, the host's to delete
  const size_t before = host.registrations.size();
  host.ClearLog();
  const uint8_t answer = host.plugin().GetToolInfo(0x11, 0x22, kOurs0, kOurs1);
  if (gStandIns.imageAsked != Format("LoadImageA(a module, \"IDB_BITMAP1\", %u, 22, 26, 0x%X)",
                                     IMAGE_BITMAP, LR_CREATEDIBSECTION) ||
      gStandIns.imageModule != host.plugin().module)
    return p.Fail(
        Format("MCP_GetToolInfo asked %s%s",
               gStandIns.imageAsked.empty() ? "no LoadImageA" : gStandIns.imageAsked.c_str(),
               gStandIns.imageModule == host.plugin().module ? "" : ", not of its own module"));
  const Registration* r =
      host.registrations.size() == before + 1 ? &host.registrations[before] : nullptr;
  if (answer != 1 || !r || r->kind != kToolInfo || r->bytes.size() != 54)
    return p.Fail(Format(
        "MCP_GetToolInfo with LoadImageA %s answered %u and made %s; the rule: "
        "1, and the tool record carrying %s",
        when, answer, LogText(host).c_str(), gStandIns.image ? "that bitmap" : "a null bitmap"));
  uint8_t expected[54] = {22, 0, 0, 0, 26};
  const uint32_t bitmap = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gStandIns.image));
  std::memcpy(&expected[8], &bitmap, 4);
  std::memcpy(&expected[12], &r->bytes[12], 4);
  expected[16] = 1, expected[22] = 1, expected[38] = 7, expected[40] = 1;
  if (std::memcmp(expected, r->bytes.data(), 54) != 0) {
    std::string got, wanted;
    for (int i = 0; i < 54; ++i)
      got.append(Format(" %02X", r->bytes[i])), wanted.append(Format(" %02X", expected[i]));
    return p.Fail(
        Format("MCP_GetToolInfo with LoadImageA %s registered the tool record%s; the "
               "rule:%s",
               when, got.c_str(), wanted.c_str()));
  }
  DeleteButtons(host);
  return true;
}

// --- The cursor and Ctrl -------------------------------------------------

// GetKeyState's answers: the high bit says the key is down, the low bit that
// it is toggled; the rest is not promised.
constexpr SHORT kKeyStates[] = {0,
                                1,
                                static_cast<SHORT>(0x8000),
                                static_cast<SHORT>(0x8001),
                                static_cast<SHORT>(0xFF80),
                                0x7FFF,
                                -1,
                                0x0080};

}  // namespace

bool SystemFailures(Probe& p, Host& host) {
  HMODULE module = static_cast<HMODULE>(host.plugin().module);
  const std::pair<const char*, const void*> standIns[] = {
      {"GetCursorPos", reinterpret_cast<const void*>(&CursorStandIn)},
      {"GetKeyState", reinterpret_cast<const void*>(&KeyStateStandIn)},
      {"LoadImageA", reinterpret_cast<const void*>(&ImageStandIn)}};
  for (const auto& [name, standIn] : standIns)
    if (!Redirect(module, name, standIn))
      return p.Fail(Cat({"the module does not import ", name, " from user32.dll"}));

  p.At("the button query with LoadImageA answering null");
  gStandIns.imageFails = true;
  if (!ButtonRecord(p, host, "answering null")) return false;
  p.At("the button query with LoadImageA answering a bitmap");
  gStandIns.imageFails = false;
  if (!ButtonRecord(p, host, "answering a bitmap")) return false;

  // Events from a seed, the cursor failing one time in three, Ctrl as
  // GetKeyState answers it, the Ctrl-only option mostly on: each held to
  // what the rules make of the event.
  std::mt19937_64& rng = p.rng;
  const auto below = [&](uint64_t n) { return static_cast<uint32_t>(rng() % n); };
  host.view(1).plain();
  host.view(1).attributes["TempOrtho"] = Value("0");
  Anchor anchor;
  const int events = static_cast<int>(p.Scaled(4000, 40000, 400000));
  int failed = 0, turns = 0, snaps = 0;
  for (int i = 0; i < events; ++i) {
    View& view = host.view(1);
    if (below(8) == 0) {
      const int32_t m = static_cast<int32_t>(below(9)) - 4;
      view.setAngles(static_cast<float>(m * 90) + static_cast<float>(below(600)) / 10.0f - 30.0f,
                     static_cast<float>(below(600)) / 10.0f - 30.0f);
    }
    if (below(16) == 0) host.SetOption(kSnapOnlyWithCtrl, below(4) ? 1 : 0);
    gStandIns.cursorFails = below(3) == 0;
    gStandIns.cursor = {static_cast<LONG>(below(8001)) - 4000,
                        static_cast<LONG>(below(6001)) - 3000};
    gStandIns.keyState = kKeyStates[below(std::size(kKeyStates))];
    failed += gStandIns.cursorFails;

    Scene scene;
    scene.dragState = host.dragState();
    scene.cursorKnown = !gStandIns.cursorFails;
    scene.x = gStandIns.cursor.x, scene.y = gStandIns.cursor.y;
    scene.ctrl = gStandIns.keyState < 0;
    for (int k = 0; k < 4; ++k) scene.options[k] = host.option(k)->value;
    scene.heading = view.heading(), scene.pitch = view.pitch();
    scene.anchor = anchor;
    const std::array<uint32_t, 8> before = view.camera;
    host.ClearLog();

    const uint32_t kind = below(10);
    std::string what;
    int32_t answer;
    Effect due;
    if (kind < 3) {
      what = "a press", answer = host.Press(1), due = PressRule(scene, 1);
    } else if (kind < 8) {
      what = "a move", answer = host.Move(1), due = MoveRule(scene, 1);
    } else {
      what = "a release", answer = host.Release(1), due = ReleaseRule(scene);
    }
    what.append(gStandIns.cursorFails ? " with GetCursorPos failing"
                                      : Format(" with the cursor at %d,%d", scene.x, scene.y))
        .append(Format(", GetKeyState answering 0x%04X", static_cast<uint16_t>(gStandIns.keyState)))
        .append(Format(", drag state %d before", scene.dragState));
    p.At(what);
    if (const std::string wrong = EffectDiffers(host, 1, before, answer, 0x7E, due); !wrong.empty())
      return p.Fail(Cat({what, ": ", wrong}));
    if (gStandIns.otherKey)
      return p.Fail(Format("%s: asked GetKeyState for key 0x%X, not Ctrl (VK_CONTROL)",
                           what.c_str(), gStandIns.otherKey));
    anchor = due.anchor;
    turns += kind >= 3 && kind < 8 && due.cameraWritten;
    snaps += kind >= 8 && due.cameraWritten;
  }
  p.Note(
      Format("the button with LoadImageA answering null and a bitmap; %d presses, moves and "
             "releases, %d of them with GetCursorPos failing, GetKeyState answering 0x0000, "
             "0x0001, 0x8000, 0x8001, 0xFF80, 0x7FFF, 0xFFFF and 0x0080; %d turns, %d snaps",
             events, failed, turns, snaps));
  return true;
}

}  // namespace sim::validate
