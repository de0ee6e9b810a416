// orbitrix-host: the simulated host in a window of its own. It loads the
// plug-in as the host does and shows its button and options in a tool bar
// and two views, one in perspective and one not, which the real mouse turns
// through the plug-in. --help says how.
//
// Exits 0 when the window is closed, 2 when the arguments or the plug-in
// cannot be used.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/report/trace.h"
#include "sim/text/cp932.h"
#include "sim/window/window.h"

namespace {

const char kHelp[] =
    "orbitrix-host shows the Orbitrix plug-in in a host window: its button and\n"
    "options in a tool bar, and two views that a left drag turns through it.\n"
    "\n"
    "  orbitrix-host [--plugin PATH] [--trace FILE] [--lang en|ja]\n"
    "    --plugin PATH  the module to load (default dist/orbitrix.mcp)\n"
    "    --trace FILE   write what the plug-in registered, where the window shows\n"
    "                   it, and a line for every tool event, as orbitrix-sim does\n"
    "    --lang en|ja   the window's own texts in English or Japanese (default: the\n"
    "                   system's language)\n"
    "\n"
    "  A left drag in a view turns it; let go with Ctrl held to snap. A click on\n"
    "  an option switches it; a click on the button, or Esc, selects the tool\n"
    "  again. Exits 0 when the window is closed, 2 when the arguments or the\n"
    "  module cannot be used.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "orbitrix-host: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pluginPath = "dist/orbitrix.mcp", tracePath;
  bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--plugin" && !value.empty())
      pluginPath = value;
    else if (arg == "--trace" && !value.empty())
      tracePath = value;
    else if (arg == "--lang" && (value == "en" || value == "ja"))
      japanese = value == "ja";
    else
      return Fail("usage: orbitrix-host [--plugin PATH] [--trace FILE] [--lang en|ja]");
    ++i;
  }

  sim::Plugin plugin{};
  std::string error;
  if (!sim::LoadPlugin(pluginPath, &plugin, &error)) return Fail(error);
  std::FILE* trace = nullptr;
  if (!tracePath.empty() && !(trace = std::fopen(tracePath.c_str(), "wb")))
    return Fail(tracePath + ": cannot be written");
  const auto write = [trace](const std::string& text) {
    if (!trace) return;
    std::fwrite(text.data(), 1, text.size(), trace);
    std::fflush(trace);
  };
  int status = 0;
  {
    sim::Host host(plugin);
    if (!host.Start()) {
      status = Fail(pluginPath + ": refused the host or did not register its tool and options");
    } else {
      // View 1 in perspective, view 2 not ("Pers" 0), which the tool leaves
      // alone, both seen from above and to the side.
      host.view(1).plain();
      host.view(1).setAngles(30, 20);
      host.view(2).plain();
      host.view(2).attributes["Pers"] = sim::Value("0");
      host.view(2).setAngles(45, 30);

      sim::HostWindow window(host, {1, 2}, japanese,
                             [&](const sim::Step& s) { write(sim::StepText(s)); });
      if (!window.Open("orbitrix-host: " + pluginPath)) {
        status = Fail("the window cannot be opened");
      } else {
        write(sim::RegisteredText(sim::Describe(host, sim::Utf8FromCp932)) + "\n" + window.Where() +
              "\n" + sim::TraceHeading());
        window.SelectTool();
        window.Run();
      }
    }
    plugin.ReleasePlugin();
  }
  if (trace) std::fclose(trace);
  sim::UnloadPlugin(&plugin);
  return status;
}
