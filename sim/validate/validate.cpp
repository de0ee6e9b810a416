// orbitrix-sim validate: runs the registered checks, each in a child process
// of its own, and reports what came of them.
#include "sim/validate/validate.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "sim/host/desktop.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"

namespace sim {

namespace validate {

namespace {

// --- The child -----------------------------------------------------------

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* e) {
  const EXCEPTION_RECORD* r = e->ExceptionRecord;
  std::string line =
      Format("@@crash %s (0x%08lX) at %s", ExceptionName(r->ExceptionCode),
             static_cast<unsigned long>(r->ExceptionCode), Where(r->ExceptionAddress).c_str());
  if (r->ExceptionCode == 0xC0000005 && r->NumberParameters >= 2)
    line.append(Format(", %s address 0x%08lX",
                       r->ExceptionInformation[0] == 1   ? "writing"
                       : r->ExceptionInformation[0] == 8 ? "executing"
                                                         : "reading",
                       static_cast<unsigned long>(r->ExceptionInformation[1])));
  line.append("\n");
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
  return EXCEPTION_EXECUTE_HANDLER;
}

struct Args {
  Settings settings;
  bool seedGiven = false, list = false, help = false;
  std::string only, child, replay;
  uintptr_t board = 0;
};

int RunChild(const Args& a) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(ReportCrash);
  const Check* check = nullptr;
  for (const Check& c : Registry())
    if (a.child == c.name) check = &c;
  Board fallback{};
  Board* board = &fallback;
  if (a.board)
    if (void* view = MapViewOfFile(reinterpret_cast<HANDLE>(a.board), FILE_MAP_WRITE, 0, 0, 0))
      board = static_cast<Board*>(view);
  if (!check) {
    std::printf("@@fail no check is named %s\n", a.child.c_str());
    return 1;
  }
  Probe probe(a.settings, check->name, board);
  if (!a.replay.empty()) {
    std::ifstream in(a.replay);
    for (uint32_t i; in >> i;) probe.replay.push_back(i);
  }
  SetCtrl(false);
  const bool held = check->run(probe) && probe.failure().empty();
  SetCtrl(false);
  for (const std::string& n : probe.notes()) std::printf("@@note %s\n", OneLine(n).c_str());
  if (held)
    std::printf("@@pass\n");
  else
    std::printf("@@fail %s\n",
                OneLine(probe.failure().empty() ? "failed" : probe.failure()).c_str());
  std::fflush(stdout);
  return held ? 0 : 1;
}

// --- The validator -------------------------------------------------------

bool ParseArgs(int argc, char** argv, Args* a, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--list") {
      a->list = true;
    } else if (arg == "--help" || arg == "-h") {
      a->help = true;
    } else if (arg == "--plugin" && hasValue) {
      a->settings.plugin = argv[++i];
    } else if (arg == "--seed" && hasValue) {
      char* end;
      a->settings.seed = std::strtoull(argv[++i], &end, 0);
      a->seedGiven = true;
      if (*end || !*argv[i]) return *error = Cat({"not a seed: ", argv[i]}), false;
    } else if (arg == "--level" && hasValue) {
      const std::string level = argv[++i];
      int found = -1;
      for (int l = 0; l < 3; ++l)
        if (level == kLevelNames[l]) found = l;
      if (found < 0) return *error = Cat({"not a level: ", level}), false;
      a->settings.level = static_cast<Level>(found);
    } else if (arg == "--only" && hasValue) {
      a->only = argv[++i];
    } else if (arg == "--child" && hasValue) {
      a->child = argv[++i];
    } else if (arg == "--board" && hasValue) {
      a->board = static_cast<uintptr_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--replay" && hasValue) {
      a->replay = argv[++i];
    } else {
      return *error = Cat({"unknown argument: ", arg}), false;
    }
  }
  for (char& c : a->settings.plugin)
    if (c == '/') c = '\\';
  return true;
}

const char* StatusWord(Outcome::Kind k) {
  static const char* const kWords[] = {"passed", "failed", "crashed", "hung"};
  return kWords[k];
}

void Print(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

void Judge(const std::string& output, Outcome* o) {
  bool passed = false;
  std::string failure, crash, stray;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "@@pass")
      passed = true;
    else if (line.rfind("@@fail ", 0) == 0)
      failure = line.substr(7);
    else if (line.rfind("@@note ", 0) == 0)
      o->notes.push_back(line.substr(7));
    else if (line.rfind("@@crash ", 0) == 0)
      crash = line.substr(8);
    else if (line.find("unused service slot") != std::string::npos)
      stray = Cat({"called ", line.substr(line.find("unused service slot"))});
  }
  if (o->kind == Outcome::kHung) return;
  if (o->exitCode == 0 && passed) {
    o->kind = Outcome::kPassed;
  } else if (o->exitCode == 1 && !failure.empty()) {
    o->kind = Outcome::kFailed;
    o->detail = failure;
  } else {
    o->kind = Outcome::kCrashed;
    if (!crash.empty())
      o->detail = crash;
    else if (!stray.empty())
      o->detail = stray;
    else if (o->exitCode >= 0xC0000000)
      o->detail = Format("%s (0x%08lX)", ExceptionName(o->exitCode), o->exitCode);
    else if (o->exitCode == 3)
      o->detail = "aborted (exit code 3)";
    else
      o->detail = Format("ended with exit code %lu and no verdict", o->exitCode);
  }
}

Outcome RunInChild(const Settings& s, const std::string& name,
                   const std::vector<std::string>& extra, double limitSeconds) {
  // An emulated machine runs everything several times slower; the test
  // suite says how much in ORBITRIX_TIME_SCALE.
  if (const char* scale = std::getenv("ORBITRIX_TIME_SCALE"); scale && std::atof(scale) >= 1)
    limitSeconds *= std::atof(scale);
  Outcome o;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string file = TempFile();
  if (file.empty()) {
    o.detail = "no temporary file for the child's output";
    return o;
  }
  // A file rather than a pipe: nothing has to drain it while the child runs.
  HANDLE out =
      CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  HANDLE map =
      CreateFileMappingA(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof(Board), nullptr);
  Board* board = map ? static_cast<Board*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
  if (out == INVALID_HANDLE_VALUE || !board) {
    o.detail = "no room for the child's output";
    return o;
  }
  board->step = -1;

  char self[MAX_PATH];
  self[GetModuleFileNameA(nullptr, self, MAX_PATH - 1)] = '\0';
  std::string command = Quote(self);
  for (const std::string& arg :
       {std::string("validate"), std::string("--child"), name, std::string("--plugin"), s.plugin,
        std::string("--seed"), std::to_string(s.seed), std::string("--level"),
        std::string(kLevelNames[static_cast<int>(s.level)]), std::string("--board"),
        std::to_string(reinterpret_cast<uintptr_t>(map))})
    command.append(" ").append(Quote(arg));
  for (const std::string& arg : extra) command.append(" ").append(Quote(arg));

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  PROCESS_INFORMATION pi;
  const ULONGLONG started = GetTickCount64();
  if (!CreateProcessA(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi)) {
    o.detail = Format("the child process could not be started (error %lu)", GetLastError());
  } else {
    const DWORD limit = static_cast<DWORD>(limitSeconds * 1000);
    if (WaitForSingleObject(pi.hProcess, limit) == WAIT_TIMEOUT) {
      TerminateProcess(pi.hProcess, 0xDEAD);
      WaitForSingleObject(pi.hProcess, 10000);
      o.kind = Outcome::kHung;
      o.detail = Format("no answer within %g s", limitSeconds);
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    o.exitCode = code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string text;
    char chunk[4096];
    DWORD got;
    SetFilePointer(out, 0, nullptr, FILE_BEGIN);
    while (ReadFile(out, chunk, sizeof chunk, &got, nullptr) && got) text.append(chunk, got);
    Judge(text, &o);
  }
  o.seconds = static_cast<double>(GetTickCount64() - started) / 1000;
  o.step = board->step;
  board->at[sizeof board->at - 1] = '\0';
  if ((o.kind == Outcome::kCrashed || o.kind == Outcome::kHung) && board->at[0])
    o.detail.append(", while ").append(board->at);
  UnmapViewOfFile(board);
  CloseHandle(map);
  CloseHandle(out);
  return o;
}

}  // namespace validate

const char kValidateUsage[] =
    "usage: orbitrix-sim validate [--plugin PATH] [--seed S] [--level quick|standard|extensive]\n"
    "                             [--only REGEX] [--list]\n";

int Validate(int argc, char** argv) {
  using namespace validate;
  Args a;
  std::string error;
  if (!ParseArgs(argc, argv, &a, &error)) {
    std::fprintf(stderr, "orbitrix-sim validate: %s\n%s", error.c_str(), kValidateUsage);
    return 2;
  }
  if (a.help) {
    std::fputs(kValidateUsage, stdout);
    return 0;
  }
  if (!a.child.empty()) return RunChild(a);

  std::vector<const Check*> chosen;
  try {
    const std::regex only(a.only);
    for (const Check& c : Registry())
      if (a.only.empty() || std::regex_search(c.name, only)) chosen.push_back(&c);
  } catch (const std::regex_error&) {
    std::fprintf(stderr, "orbitrix-sim validate: not a regular expression: %s\n", a.only.c_str());
    return 2;
  }
  if (a.list) {
    for (const Check* c : chosen) Print(Format("%-19s %s\n", c->name, c->what));
    Print(Format("%u checks\n", static_cast<unsigned>(chosen.size())));
    return 0;
  }
  if (chosen.empty()) {
    std::fprintf(stderr, "orbitrix-sim validate: no check matches %s\n", a.only.c_str());
    return 2;
  }
  // Refused here, before any child, in the words the loader's refusal gets.
  Plugin plugin;
  if (!LoadPlugin(a.settings.plugin, &plugin, &error)) {
    std::fprintf(stderr, "orbitrix-sim validate: %s\n", error.c_str());
    return 2;
  }
  UnloadPlugin(&plugin);
  if (!a.seedGiven) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    a.settings.seed = (static_cast<uint64_t>(now.QuadPart) ^ GetCurrentProcessId()) % 1000000000;
  }

  const int level = static_cast<int>(a.settings.level);
  Print(Format("orbitrix-sim validate: %s, level %s, seed %llu, %u of %u checks\n",
               a.settings.plugin.c_str(), kLevelNames[level],
               static_cast<unsigned long long>(a.settings.seed),
               static_cast<unsigned>(chosen.size()), static_cast<unsigned>(Registry().size())));
  // One child after another: the cursor and the desktop are shared by all.
  int counts[Outcome::kHung + 1] = {};
  for (const Check* c : chosen) {
    const Outcome o = RunInChild(a.settings, c->name, {}, c->limitSeconds[level]);
    std::string text = o.detail;
    for (const std::string& n : o.notes) text.append(text.empty() ? "" : "; ").append(n);
    Print(Format("%-8s %-19s %6.1f s  %s\n", StatusWord(o.kind), c->name, o.seconds, text.c_str()));
    ++counts[o.kind];
    if (o.kind >= Outcome::kFailed && c->explain) Print(c->explain(a.settings, o));
  }
  const int failed = counts[Outcome::kFailed] + counts[Outcome::kCrashed] + counts[Outcome::kHung];
  std::string closing = Format("%d passed, %d failed", counts[Outcome::kPassed], failed);
  Print(
      Format("seed %llu\n%s\n", static_cast<unsigned long long>(a.settings.seed), closing.c_str()));
  return failed ? 1 : 0;
}

}  // namespace sim
