// orbitrix-play: the simulated host with the plug-in's code linked in, playing
// one session script and printing its trace. Nothing in it is tied to one
// platform, so the same program is built natively and as WebAssembly, and the
// two traces must agree byte for byte.
//
//   orbitrix-play SESSION
//
// Exits 0 when every expectation held, 1 when one failed, 2 when the script
// cannot be used.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/host/desktop.h"
#include "sim/report/trace.h"
#include "sim/session/session.h"
#include "sim/text/text.h"

namespace {

void Print(const std::string& s) { std::fwrite(s.data(), 1, s.size(), stdout); }

// Option labels are code page 932 bytes, for which neither build has a
// converter: bytes outside ASCII are shown as escapes, which still compares
// every byte the plug-in registered.
std::string Escaped(const char* text) {
  std::string e;
  for (const char* c = text; *c; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    e.append(byte < 0x80 ? std::string(1, *c) : sim::Format("\\x%02x", byte));
  }
  return e;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: orbitrix-play SESSION\n");
    return 2;
  }
  const std::string path = argv[1];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "orbitrix-play: %s: cannot be read\n", path.c_str());
    return 2;
  }
  std::stringstream text;
  text << in.rdbuf();
  sim::Session session;
  std::string error;
  if (!sim::ParseSession(text.str(), path, &session, &error)) {
    std::fprintf(stderr, "orbitrix-play: %s\n", error.c_str());
    return 2;
  }

  sim::fake::Reset();
  sim::Host host(sim::LinkedPlugin());
  if (!host.Start()) {
    std::fprintf(stderr, "orbitrix-play: the plug-in refused the host or registered too little\n");
    return 2;
  }
  Print(sim::RegisteredText(sim::Describe(host, Escaped)));
  Print(sim::Cat({"\nsession ", path, "\n"}) + sim::TraceHeading());
  int expectations = 0;
  const int failed = sim::PlaySession(session, host, [&](const sim::Step& s) {
    Print(sim::StepText(s));
    if (s.event == "expect") ++expectations;
  });
  Print(sim::SummaryText(expectations, failed));
  return failed ? 1 : 0;
}
