// The validator's own pieces: how a check's child is judged, how a failure
// is shortened, and the fuzzer's reproductions, which must be session
// scripts that play as the fuzzer's steps did.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "sim/host/desktop.h"
#include "sim/session/session.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/fuzz/fuzzer.h"
#include "sim/validate/fuzz/shorten.h"
#include "tests/windows/loaded.h"

namespace sim::validate {
namespace {

Outcome Judged(const std::string& output, unsigned long exitCode) {
  Outcome o;
  o.exitCode = exitCode;
  Judge(output, &o);
  return o;
}

TEST(Judge, AVerdictCountsOnlyWithItsExitCode) {
  const Outcome passed = Judged("@@note 3 drags\r\n@@pass\r\n", 0);
  EXPECT_EQ(passed.kind, Outcome::kPassed);
  EXPECT_EQ(passed.notes, std::vector<std::string>{"3 drags"});
  const Outcome failed = Judged("@@fail value 1 came back as 0x7FC00001\n", 1);
  EXPECT_EQ(failed.kind, Outcome::kFailed);
  EXPECT_EQ(failed.detail, "value 1 came back as 0x7FC00001");
  // A child that said it passed and then crashed, or ended without a word.
  EXPECT_EQ(Judged("@@pass\n", 0xC0000005).kind, Outcome::kCrashed);
  EXPECT_EQ(Judged("@@fail x\n", 0).kind, Outcome::kCrashed);
  EXPECT_EQ(Judged("", 0).detail, "ended with exit code 0 and no verdict");
}

TEST(Judge, WhatCouldNotBeMeasuredIsSaidAsSuch) {
  const Outcome warned = Judged("@@note 100 loads\n@@warn GDI objects not counted\n@@pass\n", 0);
  EXPECT_EQ(warned.kind, Outcome::kWarning);
  EXPECT_EQ(warned.warnings, std::vector<std::string>{"GDI objects not counted"});
  const Outcome skipped = Judged("@@skip the cursor cannot be moved here\n", 0);
  EXPECT_EQ(skipped.kind, Outcome::kSkipped);
  EXPECT_EQ(skipped.detail, "the cursor cannot be moved here");
  // Neither counts once the child has crashed or failed.
  EXPECT_EQ(Judged("@@skip x\n", 0xC0000005).kind, Outcome::kCrashed);
  EXPECT_EQ(Judged("@@warn x\n@@fail y\n", 1).kind, Outcome::kFailed);
}

TEST(Judge, ACrashSaysWhatAndWhere) {
  EXPECT_EQ(Judged("@@crash access violation (0xC0000005) at x.mcp+0x24A4\n", 0xC0000005).detail,
            "access violation (0xC0000005) at x.mcp+0x24A4");
  EXPECT_EQ(Judged("simulated host: the plug-in called unused service slot 77\n", 3).detail,
            "called unused service slot 77");
  EXPECT_EQ(Judged("", 3).detail, "aborted (exit code 3)");
  EXPECT_EQ(Judged("", 0xC00000FD).detail, "stack overflow (0xC00000FD)");
  Outcome hung;
  hung.kind = Outcome::kHung;
  Judge("@@pass\n", &hung);
  EXPECT_EQ(hung.kind, Outcome::kHung);
}

bool Has(const std::vector<uint32_t>& steps, uint32_t step) {
  return std::find(steps.begin(), steps.end(), step) != steps.end();
}

TEST(Shorten, KeepsJustTheStepsThatMatter) {
  // Step 40 fails only after steps 3 and 17.
  int tries = 0;
  const auto fails = [&](const std::vector<uint32_t>& s) {
    ++tries;
    return Has(s, 3) && Has(s, 17) && Has(s, 40);
  };
  EXPECT_EQ(Shorten(40, 100, fails), (std::vector<uint32_t>{3, 17, 40}));
  EXPECT_LE(tries, 100);
  EXPECT_EQ(Shorten(40, 100, [](const std::vector<uint32_t>& s) { return Has(s, 40); }),
            std::vector<uint32_t>{40});
  // A budget that runs out leaves a longer run that still fails.
  const std::vector<uint32_t> some = Shorten(40, 8, fails);
  EXPECT_TRUE(Has(some, 3) && Has(some, 17));
  EXPECT_EQ(some.back(), 40u);
  EXPECT_TRUE(Shorten(40, 0, fails).empty());
  EXPECT_TRUE(Shorten(40, 100, [](const std::vector<uint32_t>&) { return false; }).empty());
}

std::string Steps(uint64_t seed, int count) {
  Fuzzer fuzzer(seed, CursorScreen());
  std::string text;
  for (int i = 0; i < count; ++i) text.append(Describe(fuzzer.Next())).append("\n");
  return text;
}

TEST(Fuzzer, TheSeedAloneDecidesTheSteps) {
  EXPECT_EQ(Steps(7, 3000), Steps(7, 3000));
  EXPECT_NE(Steps(7, 3000), Steps(8, 3000));
}

TEST(Fuzzer, ReproductionsAreScriptsOnTheScreen) {
  const Screen screen = CursorScreen();
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    Fuzzer fuzzer(seed, screen);
    SessionWriter writer = StartingSession(screen);
    int said = 0;
    for (int i = 0; i < 3000; ++i) said += Write(fuzzer.Next(), writer);
    EXPECT_GT(said, 1000);
    Session session;
    std::string error;
    ASSERT_TRUE(ParseSession(writer.text(), "reproduction", &session, &error)) << error;
    EXPECT_EQ(CheckScreen(session, screen.right + 1, screen.bottom + 1), "");
  }
}

// What an event left behind, as the trace shows it: the drag state and the
// angles of the event's view (a switch names none). Not TempOrtho: a
// script's "view" line forgets what the module wrote there, and the module
// never reads it back.
std::string After(const Host& host, const Op& op) {
  std::string text = Format("state %d", host.dragState());
  if (op.kind == Op::kSwitch) return text;
  const View& v = const_cast<Host&>(host).view(op.view);
  return text.append(
      Format(" view %u %s %s", op.view, Number(v.heading()).c_str(), Number(v.pitch()).c_str()));
}

// What a reproduction must mean: the steps a script can say, carried out
// directly and played as the script, leave the same trace event by event.
TEST(Fuzzer, AReproductionPlaysAsTheStepsDid) {
  const Screen screen = CursorScreen();
  Fuzzer fuzzer(11, screen);
  SessionWriter writer = StartingSession(screen);
  std::vector<Op> said;
  for (int i = 0; i < 20000; ++i) {
    const Op op = fuzzer.Next();
    if (Write(op, writer)) said.push_back(op);
  }
  std::vector<std::string> direct;
  {
    Host host(LoadedPlugin());
    ASSERT_TRUE(host.Start());
    StartingViews(host);
    SetCursor(StartX(screen), StartY(screen));
    SetCtrl(false);
    FuzzRun run(host);
    for (size_t i = 0; i < said.size(); ++i) {
      run.Do(said[i], static_cast<uint32_t>(i));
      if (said[i].kind == Op::kButton || said[i].kind == Op::kMove || said[i].kind == Op::kSwitch)
        direct.push_back(After(host, said[i]));
    }
  }
  Session session;
  std::string error;
  ASSERT_TRUE(ParseSession(writer.text(), "reproduction", &session, &error)) << error;
  Host host(LoadedPlugin());
  ASSERT_TRUE(host.Start());
  SetCtrl(false);
  std::vector<std::string> played;
  PlaySession(session, host, [&](const Step& s) {
    std::string text = Format("state %d", s.state);
    if (s.event != "switch")
      text.append(
          Format(" view %u %s %s", s.view, Number(s.heading).c_str(), Number(s.pitch).c_str()));
    played.push_back(text);
  });
  SetCtrl(false);
  ASSERT_GT(direct.size(), 5000u);
  ASSERT_EQ(played.size(), direct.size());
  for (size_t i = 0; i < direct.size(); ++i) ASSERT_EQ(played[i], direct[i]) << "event " << i;
}

}  // namespace
}  // namespace sim::validate
