// The probe a check runs with, and the helpers the checks share.
#include "sim/validate/check.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

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
    : rng(CheckSeed(settings.seed, checkName)),
      settings_(settings),
      name_(checkName),
      board_(board) {}

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

std::string Again(const Probe& p) {
  const auto seed = static_cast<unsigned long long>(p.settings().seed);
  return Format("seed %llu: orbitrix-sim validate --seed %llu --level %s --only ^%s$ repeats it",
                seed, seed, kLevelNames[static_cast<int>(p.settings().level)], p.name().c_str());
}

const char* ExceptionName(unsigned long code) {
  switch (code) {
    case 0xC0000005: return "access violation";
    case 0xC00000FD: return "stack overflow";
    case 0xC000001D: return "illegal instruction";
    case 0xC0000094: return "integer division by zero";
    case 0xC0000095: return "integer overflow";
    case 0xC0000096: return "privileged instruction";
    case 0xC0000409: return "stack buffer overrun";
    case 0xC0000374: return "heap corruption";
    case 0x80000003: return "breakpoint";
    case 0xC000008D: return "a denormal-operand exception";
    case 0xC000008E: return "a zero-divide exception";
    case 0xC000008F: return "an inexact-result exception";
    case 0xC0000090: return "an invalid-operation exception";
    case 0xC0000091: return "an overflow exception";
    case 0xC0000092: return "an x87 stack exception";
    case 0xC0000093: return "an underflow exception";
    case 0xC00002B4: return "floating-point exceptions (STATUS_FLOAT_MULTIPLE_FAULTS)";
    case 0xC00002B5: return "floating-point exceptions (STATUS_FLOAT_MULTIPLE_TRAPS)";
    default: return "exception";
  }
}

bool IsFloatException(unsigned long code) {
  return (code >= 0xC000008D && code <= 0xC0000093) || code == 0xC00002B4 || code == 0xC00002B5;
}

std::string Where(const void* address) {
  HMODULE module;
  char path[MAX_PATH];
  if (reinterpret_cast<uintptr_t>(address) < 0x10000 ||
      !GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module) ||
      !GetModuleFileNameA(module, path, MAX_PATH))
    return Format("0x%p", address);
  const char* base = path;
  for (const char* c = path; *c; ++c)
    if (*c == '\\' || *c == '/') base = c + 1;
  return Format("%s+0x%X", base,
                static_cast<unsigned>(static_cast<const char*>(address) -
                                      reinterpret_cast<const char*>(module)));
}

}  // namespace sim::validate
