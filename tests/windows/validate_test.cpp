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
#include "sim/validate/sequence.h"
#include "sim/validate/shorten.h"
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
  Generator generator(seed, true);
  std::string text;
  for (int i = 0; i < count; ++i) text.append(Describe(generator.Next())).append("\n");
  return text;
}

TEST(Generator, TheSeedAloneDecidesTheSteps) {
  EXPECT_EQ(Steps(7, 3000), Steps(7, 3000));
  EXPECT_NE(Steps(7, 3000), Steps(8, 3000));
}

}  // namespace
}  // namespace sim::validate
