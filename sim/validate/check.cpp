// The probe a check runs with, and the helpers the checks share.
#include "sim/validate/check.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "sim/host/desktop.h"
#include "sim/text/text.h"

namespace sim::validate {

namespace {

uint64_t Fnv(const std::string& s) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

}  // namespace

uint64_t CheckSeed(uint64_t seed, const std::string& checkName) { return seed ^ Fnv(checkName); }

Probe::Probe(const Settings& settings, const std::string& checkName, Board* board)
    : rng(CheckSeed(settings.seed, checkName)), settings_(settings), board_(board) {}

uint64_t Probe::Scaled(uint64_t quick, uint64_t standard, uint64_t extensive) const {
  const uint64_t figures[] = {quick, standard, extensive};
  return figures[static_cast<int>(settings_.level)];
}

const Plugin* Probe::plugin() {
  if (loaded_) return &plugin_;
  std::string error;
  if (!LoadPlugin(settings_.plugin, &plugin_, &error)) {
    Fail(error);
    return nullptr;
  }
  loaded_ = true;
  return &plugin_;
}

void Probe::At(const std::string& what) {
  const size_t n = std::min(what.size(), sizeof board_->at - 1);
  what.copy(board_->at, n);
  board_->at[n] = '\0';
}

bool Probe::Fail(const std::string& counterexample) {
  if (failure_.empty()) failure_ = counterexample;
  return false;
}

bool Probe::Skip(const std::string& why) {
  skipped_ = why;
  return true;
}

bool StartHost(Probe& p, Host& host) {
  if (host.Start()) return true;
  return p.Fail(
      Cat({"the module refused host version 0x50600 or did not register its tool and "
           "options: ",
           LogText(host)}));
}

int CountCalls(const Host& host, uint32_t slot) {
  int n = 0;
  for (const Call& c : host.log) n += c.slot == slot;
  return n;
}

const Call* LastCall(const Host& host, uint32_t slot) {
  for (auto it = host.log.rbegin(); it != host.log.rend(); ++it)
    if (it->slot == slot) return &*it;
  return nullptr;
}

const uint32_t* Written(const Host& host) {
  const Call* c = LastCall(host, orbitrix::kSetViewCamera);
  return c ? &c->args[1] : nullptr;
}

bool DeleteButtons(Host& host) {
  bool all = true;
  for (const Registration& r : host.registrations) {
    if (r.kind != orbitrix::kToolInfo || r.bytes.size() < sizeof(orbitrix::ToolInfoRecord))
      continue;
    HGDIOBJ bitmap;
    std::memcpy(&bitmap, &r.bytes[offsetof(orbitrix::ToolInfoRecord, bitmap)], sizeof bitmap);
    all = GetObjectType(bitmap) == OBJ_BITMAP && DeleteObject(bitmap) && all;
  }
  std::erase_if(host.registrations,
                [](const Registration& r) { return r.kind == orbitrix::kToolInfo; });
  return all;
}

std::string TempFile() {
  char dir[MAX_PATH], file[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, dir) || !GetTempFileNameA(dir, "orb", 0, file)) return "";
  return file;
}

std::string LogText(const Host& host) {
  if (host.log.empty()) return "no host call";
  std::string text;
  for (const Call& c : host.log) {
    if (!text.empty()) text.append("; ");
    if (text.size() > 400) return text.append("...");
    text.append(c.text);
  }
  return text;
}

Screen CursorScreen() {
  const int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN),
                top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1,
          top + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1};
}

void CursorTo(int32_t x, int32_t y, int32_t* gotX, int32_t* gotY) {
  SetCursor(x, y);
  POINT p{x, y};
  GetCursorPos(&p);
  *gotX = p.x;
  *gotY = p.y;
}

}  // namespace sim::validate
