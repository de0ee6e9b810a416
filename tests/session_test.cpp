// Session scripts: every bundled example played against the plug-in's code,
// the messages bad scripts get, and what the trace and the picture make of a
// session.
#include "sim/session/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/host/desktop.h"
#include "sim/report/svg.h"
#include "sim/report/trace.h"

namespace {

std::vector<std::string> Examples() {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(ORBITRIX_EXAMPLES))
    if (entry.path().extension() == ".session") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Played {
  std::string error;
  int failed = 0;
  std::vector<sim::Step> steps;
};

// Parses and plays a script on a freshly started host, as orbitrix-sim does.
Played Play(const std::string& text, const std::string& name = "test.session") {
  sim::fake::Reset();
  Played p;
  sim::Session session;
  if (!sim::ParseSession(text, name, &session, &p.error)) return p;
  sim::Host host(sim::LinkedPlugin());
  EXPECT_TRUE(host.Start());
  p.failed = sim::PlaySession(session, host, [&](const sim::Step& s) { p.steps.push_back(s); });
  return p;
}

std::string ParseError(const std::string& text) {
  sim::Session session;
  std::string error;
  EXPECT_FALSE(sim::ParseSession(text, "bad.session", &session, &error)) << text;
  return error;
}

class Example : public testing::TestWithParam<std::string> {};

TEST_P(Example, EveryExpectationHolds) {
  const Played p = Play(Read(GetParam()), GetParam());
  ASSERT_EQ(p.error, "");
  int expectations = 0;
  for (const sim::Step& s : p.steps) {
    if (s.event != "expect") continue;
    ++expectations;
    EXPECT_EQ(s.failure, "") << GetParam() << ":" << s.line << ": " << s.text;
  }
  EXPECT_GT(expectations, 0);
  EXPECT_EQ(p.failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Bundled, Example, testing::ValuesIn(Examples()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return std::filesystem::path(info.param).stem().string();
                         });

TEST(Examples, TheTourIsAmongThem) {
  const std::vector<std::string> paths = Examples();
  EXPECT_GE(paths.size(), 4u);
  EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [](const std::string& p) {
    return std::filesystem::path(p).filename() == "tour.session";
  }));
}

TEST(SessionScript, BadLinesNameTheFileTheLineAndWhatWasExpected) {
  const struct {
    const char* script;
    const char* message;
  } cases[] = {
      {"view 1\n\nexpect heading abc\n",
       "bad.session:3: expected a number after \"heading\", got \"abc\""},
      {"view 1\npress 10\n", "bad.session:2: expected a cursor y after \"press 10\", got nothing"},
      {"view 1\nmove 1 99999999999\n",
       "bad.session:2: expected a cursor y after \"move 1\", got \"99999999999\""},
      {"# no view yet\npress 1 2\n",
       "bad.session:2: \"press\" needs a view: define one with \"view\" first"},
      {"view 1\nrelease 1 2 view 3\n", "bad.session:2: view 3 is not defined"},
      {"view 1\nturn 5\n",
       "bad.session:2: unknown command \"turn\" (expected view, attr, unset, option, ctrl, press, "
       "move, release, switch or expect)"},
      {"option 5 1\n",
       "bad.session:1: expected an option (1-4, SnapToRightAngles, SnapOnlyWithCtrl, LimitPitch or "
       "TemporaryParallel), got \"5\""},
      {"option limitpitch 256\n",
       "bad.session:1: expected a value 0-255 after \"limitpitch\", got \"256\""},
      {"ctrl sideways\n", "bad.session:1: expected down or up after \"ctrl\", got \"sideways\""},
      {"view 1 perspective\n",
       "bad.session:1: expected ortho, uv, heading or pitch in \"view\", got \"perspective\""},
      {"view 1\nattr 1 UV \"1\n", "bad.session:2: a quoted text has no closing \""},
      {"view 1\nattr 1 UV\n", "bad.session:2: expected a value after \"UV\", got nothing"},
      {"view 1\nexpect # all is well\n",
       "bad.session:2: expected heading, pitch, TempOrtho, result or state after \"expect\", got "
       "nothing"},
      {"view 1\nswitch now\n", "bad.session:2: unexpected \"now\" at the end of \"switch\""},
      {"view 1\npress 1 2 buttons -1\n",
       "bad.session:2: expected a number after \"buttons\", got \"-1\""},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseError(c.script), c.message);
}

TEST(SessionScript, ABadLineAnywhereStopsTheWholeScriptBeforeAnyEvent) {
  const Played p = Play("view 1\npress 1 1\nmove 5 5\nrelease 5 5\nexpect pitch 4.x\n");
  EXPECT_EQ(p.error, "test.session:5: expected a number after \"pitch\", got \"4.x\"");
  EXPECT_TRUE(p.steps.empty());
}

TEST(SessionScript, CommentsQuotesAndLineEnds) {
  sim::Session s;
  std::string error;
  ASSERT_TRUE(sim::ParseSession(
      "# a comment\r\n\r\n  view 7 uv  # after\r\nattr 7 Pers \"\"\nattr 7 Note \"a # b\" size 3\n"
      "expect TempOrtho \"none\"\nexpect TempOrtho none",
      "s", &s, &error))
      << error;
  ASSERT_EQ(s.commands.size(), 5u);
  EXPECT_EQ(s.commands[0].line, 3);
  EXPECT_EQ(s.commands[0].text, "view 7 uv");
  EXPECT_TRUE(s.commands[0].uv);
  EXPECT_EQ(s.commands[1].attribute.value, "");
  EXPECT_EQ(s.commands[2].attribute.value, "a # b");
  EXPECT_EQ(s.commands[2].attribute.sizeAnswer, 3);
  // Quoted, none is a value like any other; bare, it means no attribute.
  EXPECT_EQ(s.commands[3].tempOrtho, "none");
  EXPECT_TRUE(s.commands[4].checkTempOrtho);
  EXPECT_FALSE(s.commands[4].tempOrtho);
}

TEST(SessionScript, CursorPositionsMustBeOnTheScreen) {
  sim::Session s;
  std::string error;
  ASSERT_TRUE(sim::ParseSession("view 1\npress 0 0\nmove 1023 767\nrelease 1024 10\n", "s.session",
                                &s, &error));
  EXPECT_EQ(sim::CheckScreen(s, 1024, 768),
            "s.session:4: cursor 1024,10 is off the 1024x768 screen");
  EXPECT_EQ(sim::CheckScreen(s, 1025, 768), "");
  ASSERT_TRUE(sim::ParseSession("view 1\nmove 5 -1\n", "s.session", &s, &error));
  EXPECT_EQ(sim::CheckScreen(s, 1024, 768), "s.session:2: cursor 5,-1 is off the 1024x768 screen");
}

TEST(SessionRun, AFailedExpectationSaysWhatWasFound) {
  const Played p = Play(
      "view 1\nview 2 heading 3\npress 10 10 view 1\nmove 55 22\nrelease 55 22\n"
      "expect heading 45 pitch 12\n"
      "expect heading 46 pitch 12 TempOrtho 1 result 4 state 2\n"
      "expect view 2 TempOrtho none heading 3\nexpect view 1 TempOrtho none\n");
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.failed, 2);
  ASSERT_EQ(p.steps.size(), 7u);
  EXPECT_EQ(p.steps[3].failure, "");
  EXPECT_EQ(p.steps[4].failure,
            "heading is 45, expected 46; TempOrtho is \"0\", expected \"1\"; result is 0, "
            "expected 4; state is 0, expected 2");
  EXPECT_EQ(p.steps[5].failure, "");
  EXPECT_EQ(p.steps[6].failure, "TempOrtho is \"0\", expected none");
}

TEST(SessionRun, EachEventCarriesItsOwnServiceCallsAndTheCameraAroundIt) {
  const Played p = Play(
      "option 2 0\nview 1 heading 80\nctrl down\npress 10 10\nmove 15 10\n"
      "release 15 10\nswitch\n");
  ASSERT_EQ(p.steps.size(), 4u);
  const sim::Step &press = p.steps[0], &move = p.steps[1], &release = p.steps[2];
  EXPECT_TRUE(press.ctrl);
  EXPECT_EQ(press.state, 1);
  EXPECT_EQ(press.calls.back(), "SetViewAttribute(1,\"TempOrtho\",\"0\",1)");
  EXPECT_EQ(move.state, 2);
  EXPECT_EQ(move.headingBefore, 80.0f);
  EXPECT_EQ(move.heading, 85.0f);
  EXPECT_EQ(std::count(move.calls.begin(), move.calls.end(), "GetViewCamera(1)"), 1);
  EXPECT_EQ(release.headingBefore, 85.0f);
  EXPECT_EQ(release.heading, 90.0f);
  EXPECT_EQ(release.tempOrtho, "1");
  EXPECT_EQ(release.calls.back(), "RefreshViews(0x7E,-1)");
  EXPECT_EQ(p.steps[3].event, "switch");
  EXPECT_EQ(p.steps[3].result, 1);
  EXPECT_TRUE(p.steps[3].calls.empty());
}

TEST(Trace, DescribeReadsWhatThePluginRegistered) {
  sim::fake::Reset();
  sim::Host host(sim::LinkedPlugin());
  ASSERT_TRUE(host.Start());
  const sim::Registered r = sim::Describe(host, [](const char* s) { return std::string(s); });
  EXPECT_EQ(r.name, "Orbitrix");
  EXPECT_EQ(r.toolWord0, 0xAAAAu);
  EXPECT_EQ(r.toolWord1, 0u);
  EXPECT_EQ(r.width, 22);
  EXPECT_EQ(r.height, 26);
  ASSERT_EQ(r.labels.size(), 4u);
  EXPECT_NE(r.labels[1].find("Ctrl"), std::string::npos);
  EXPECT_EQ(r.values, std::vector<int>(4, 1));
}

TEST(Trace, JsonLinesEscapeTextAndKeepNonFiniteAnglesAsStrings) {
  const Played p = Play("view 1 heading nan\npress 1 1\nexpect heading 1\n");
  ASSERT_EQ(p.steps.size(), 2u);
  const std::string press = sim::StepJson(p.steps[0]);
  EXPECT_NE(press.find("\"heading\":\"nan\",\"pitch\":0,"), std::string::npos) << press;
  EXPECT_NE(press.find("\"GetViewAttribute(1,\\\"UV\\\",null,0)\""), std::string::npos) << press;
  EXPECT_EQ(sim::StepJson(p.steps[1]),
            "{\"line\":3,\"view\":1,\"expect\":\"expect heading 1\",\"ok\":false,"
            "\"failure\":\"heading is nan, expected 1\"}\n");
  sim::Registered r;
  r.name = "q\"\\\n";
  EXPECT_EQ(sim::RegisteredJson(r).rfind("{\"plugin\":\"q\\\"\\\\\\u000a\",", 0), 0u);
}

TEST(Picture, CaptionsEachDragWithWhatItsReleaseDid) {
  const Played p = Play(
      "option 2 0\nview 1\npress 10 10\nmove 40 20\nrelease 40 20\n"
      "press 10 10\nmove 68 0\nrelease 68 0\nview 2 uv\npress 10 10 view 2\nrelease 10 10\n"
      "view 3 heading 5\npress 10 10\nmove 12 10\n");
  const std::string svg = sim::Svg("t.session", p.steps);
  EXPECT_NE(svg.find(">line 3, view 1: 0, 0 \u2192 30, 10, no snap"), std::string::npos);
  EXPECT_NE(svg.find(">line 6, view 1: 30, 10 \u2192 88, 0, snapped to 90, 0, parallel"),
            std::string::npos);
  EXPECT_NE(svg.find(">line 10, view 2: ignored by the tool"), std::string::npos);
  EXPECT_NE(svg.find(">line 13, view 3: not released"), std::string::npos);
  EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
}

}  // namespace
