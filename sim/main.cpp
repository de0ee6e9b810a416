// orbitrix-sim: loads the plug-in as the host does, plays a session script at
// it and shows what happened; or, with "validate", attacks it with a battery
// of checks. --help says how.
//
// Exits 0 when every expectation held, 1 when one failed, 2 when the script,
// the arguments or the plug-in could not be used.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/host/desktop.h"
#include "sim/report/svg.h"
#include "sim/report/trace.h"
#include "sim/session/session.h"
#include "sim/text/cp932.h"
#include "sim/validate/validate.h"

namespace {

const char kHelp[] =
    "orbitrix-sim plays the host's side against the Orbitrix plug-in module.\n"
    "\n"
    "Playing a session script:\n"
    "  orbitrix-sim [--plugin PATH] [--svg FILE] [--json] SESSION\n"
    "    --plugin PATH  the module to load (default dist/orbitrix.mcp)\n"
    "    --svg FILE     also draw the session in the heading-pitch plane\n"
    "    --json         the trace as JSON lines instead of text\n"
    "  Exits 0 when every expect held, 1 when one failed, 2 when the arguments,\n"
    "  the script or the module cannot be used.\n"
    "\n"
    "Validating the module:\n"
    "  orbitrix-sim validate [--plugin PATH] [--seed S] [--level quick|standard|extensive]\n"
    "                        [--only REGEX] [--list]\n"
    "    --plugin PATH  the module to attack (default dist/orbitrix.mcp)\n"
    "    --seed S       repeat an earlier run (random otherwise; printed at the end)\n"
    "    --level L      how hard: quick (default), standard or extensive\n"
    "    --only REGEX   only the checks whose names match\n"
    "    --list         name the checks and stop\n"
    "  Exits 0 when no check failed, 1 when one did, 2 when the arguments or the\n"
    "  module cannot be used.\n"
    "\n"
    "  orbitrix-sim --help      this text\n"
    "  orbitrix-sim --version   the version of Orbitrix it was built with\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "orbitrix-sim: %s\n", message.c_str());
  return 2;
}

void Print(const std::string& s) { std::fwrite(s.data(), 1, s.size(), stdout); }

}  // namespace

int main(int argc, char** argv) {
  // The trace is UTF-8 with plain line ends, whatever the console thinks.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc > 1 && std::string(argv[1]) == "validate") return sim::Validate(argc - 1, argv + 1);
  if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--version") {
    Print("orbitrix-sim " ORBITRIX_VERSION "\n");  // CMake's project(VERSION)
    return 0;
  }
  std::string pluginPath = "dist/orbitrix.mcp", svgPath, sessionPath;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json")
      json = true;
    else if ((arg == "--plugin" || arg == "--svg") && i + 1 < argc)
      (arg == "--plugin" ? pluginPath : svgPath) = argv[++i];
    else if (arg[0] != '-' && sessionPath.empty())
      sessionPath = arg;
    else
      sessionPath.clear(), i = argc;
  }
  if (sessionPath.empty())
    return Fail(
        "usage: orbitrix-sim [--plugin PATH] [--svg FILE] [--json] SESSION, or orbitrix-sim "
        "validate ...; orbitrix-sim --help says more");

  std::ifstream in(sessionPath, std::ios::binary);
  if (!in) return Fail(std::string(sessionPath).append(": cannot be read"));
  std::stringstream text;
  text << in.rdbuf();
  sim::Session session;
  std::string error;
  if (!sim::ParseSession(text.str(), sessionPath, &session, &error)) return Fail(error);
  error = sim::CheckScreen(session, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (!error.empty()) return Fail(error);

  sim::Plugin plugin{};
  if (!sim::LoadPlugin(pluginPath, &plugin, &error)) return Fail(error);
  int failed = 0, expectations = 0;
  {
    sim::Host host(plugin);
    if (!host.Start())
      return Fail(pluginPath + ": refused the host or did not register its tool and options");
    const sim::Registered registered = sim::Describe(host, sim::Utf8FromCp932);
    Print(json ? sim::RegisteredJson(registered) : sim::RegisteredText(registered));
    if (!json)
      Print(std::string("\nsession ").append(sessionPath).append("\n") + sim::TraceHeading());

    std::vector<sim::Step> steps;
    failed = sim::PlaySession(session, host, [&](const sim::Step& s) {
      Print(json ? sim::StepJson(s) : sim::StepText(s));
      std::fflush(stdout);
      if (s.event == "expect") ++expectations;
      if (!s.failure.empty())
        std::fprintf(stderr, "%s:%d: %s\n", sessionPath.c_str(), s.line, s.failure.c_str());
      steps.push_back(s);
    });
    Print(json ? sim::SummaryJson(expectations, failed) : sim::SummaryText(expectations, failed));
    plugin.ReleasePlugin();

    if (!svgPath.empty()) {
      std::ofstream out(svgPath, std::ios::binary);
      out << sim::Svg(sessionPath, steps);
      if (!out.flush()) return Fail(svgPath + ": cannot be written");
    }
  }
  sim::SetCtrl(false);
  sim::UnloadPlugin(&plugin);
  return failed ? 1 : 0;
}
