// Search passes, run by both engines: the step-by-step reference and the
// fast one must collect the same expressions and write the same marks.
#include "generator/search.h"

#include <gtest/gtest.h>

#include "generator/fast_search.h"
#include "generator/reference_search.h"

#include <cmath>
#include <limits>

#include "generator/search_support.h"

namespace {

using namespace generator;
using testing_support::readable;
using testing_support::runPass;

struct Engine {
  const char* name;
  SearchEngine run;
  // Test names show the engine's name, not its address.
  friend void PrintTo(const Engine& engine, std::ostream* out) { *out << engine.name; }
};

class SearchPass : public ::testing::TestWithParam<Engine> {};

INSTANTIATE_TEST_SUITE_P(Engines, SearchPass,
                         ::testing::Values(Engine{"Reference", runSearchPassReference},
                                           Engine{"Fast", runSearchPass}),
                         [](const auto& info) { return info.param.name; });

TEST_P(SearchPass, FourTwoSixCollectsTheFifteenExpressions) {
  const auto result = runPass(GetParam().run, {4, 2, 6}, Settings{});
  const std::vector<std::string> expected = {
      "4+2+6", "4+2-6",  "(4+2)x6", "(4+2):6", "4-2+6",   "(4-2)x6",  "4x2+6",  "4x2-6",
      "4x2x6", "4:2+6", "4:2x6",   "4+2x6",   "4-(2-6)", "4x(2+6)", "4:(2:6)"};
  std::vector<std::string> texts;
  for (const auto& text : result.expressions) texts.push_back(readable(text));
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(result.answers, (std::vector<int32_t>{12, 0, 36, 1, 8, 12, 14, 2, 48, 8, 12, 16, 8, 32, 12}));
  EXPECT_EQ(result.marks, "\b\b\b-/|\b\b\b\\-/\b\b\b*****");
}

TEST_P(SearchPass, MarksForEveryRowAndOrderingEvenWhenNothingIsCollected) {
  Settings settings;
  settings.orderSwap = true;
  settings.maxAbsValue = 1;
  const auto result = runPass(GetParam().run, {50, 70, 90, 110}, settings);
  const std::string ordering = "\b\b\b-/|\b\b\b\\-/\b\b\b|\\-\b\b\b/|\\\b\b\b-/|\b\b\b\\-/\b\b\b*****";
  std::string expected;
  for (int i = 0; i < 24; ++i) expected += ordering;
  EXPECT_EQ(result.marks, expected);
  for (int32_t value : result.answers) EXPECT_TRUE(value == 0 || value == 1);
}

TEST_P(SearchPass, TextIsCollectedAtItsFirstAcceptableValue) {
  // 49x(1:49) is 0.9999999999999999 and rejected; (49x1):49 is exactly 1.
  const auto result = runPass(GetParam().run, {49, 1, 49}, Settings{});
  int found = 0;
  for (size_t i = 0; i < result.expressions.size(); ++i) {
    if (readable(result.expressions[i]) != "49x1:49") continue;
    ++found;
    EXPECT_EQ(result.answers[i], 1);
  }
  EXPECT_EQ(found, 1);
}

TEST_P(SearchPass, IncludesMulDivInBothSignSets) {
  Settings settings;
  settings.includesMulDiv = true;
  for (bool computerOperator : {false, true}) {
    settings.computerOperator = computerOperator;
    const auto result = runPass(GetParam().run, {4, 2, 6}, settings);
    EXPECT_EQ(result.expressions.size(), 11u);
    for (const auto& text : result.expressions) {
      EXPECT_TRUE(containsMulDiv(text, computerOperator)) << text;
      EXPECT_EQ(text.find(computerOperator ? "\x81" : "*"), std::string::npos) << text;
    }
  }
}

TEST(AcceptCandidate, ValueTests) {
  Settings settings;
  ExpressionList texts;
  auto accepts = [&](double value, std::string_view text) {
    return acceptCandidate(text, value, settings, texts);
  };
  EXPECT_TRUE(accepts((1.0 / 3.0) * 3.0, "a"));
  EXPECT_FALSE(accepts((1.0 / 49.0) * 49.0, "b"));
  EXPECT_TRUE(accepts(-0.0, "c"));
  EXPECT_FALSE(accepts(std::numeric_limits<double>::quiet_NaN(), "d"));
  EXPECT_FALSE(accepts(std::numeric_limits<double>::infinity(), "e"));
  EXPECT_FALSE(accepts(-1, "f"));
  EXPECT_FALSE(accepts(101, "g"));
  EXPECT_TRUE(accepts(100, "h"));
  EXPECT_FALSE(accepts(7, "h"));  // the same text again: the first value stays
  settings.allowNegative = true;
  settings.maxAbsValue = std::numeric_limits<int32_t>::max();
  EXPECT_TRUE(accepts(-2147483647.0, "i"));
  EXPECT_FALSE(accepts(-2147483648.0, "j"));
  EXPECT_TRUE(accepts(2147483647.0, "k"));
}

TEST(StopKey, StopsAtEachLevelOfTheLoops) {
  Settings settings;
  settings.orderSwap = true;
  const std::vector<int32_t> parameters = {1, 2, 3};
  struct Case {
    long stopAtPoll;
    std::string marks;
  };
  // 32 reductions of 2 steps per ordering: poll 1 is the first step of the
  // first row, poll 33 the first step of the second row, poll 64 the last
  // step of the ordering's last reduction.
  const Case cases[] = {
      {1, "\b\b\b-/|\b\b\b*****"},
      {2, "\b\b\b-/|\b\b\b*****"},
      {33, "\b\b\b-/|\b\b\b\\-/\b\b\b*****"},
      {64, "\b\b\b-/|\b\b\b\\-/\b\b\b*****"},
      {65, "\b\b\b-/|\b\b\b\\-/\b\b\b*****\b\b\b-/|\b\b\b*****"},
  };
  for (const Case& c : cases) {
    testing_support::RecordingMonitor monitor(c.stopAtPoll);
    const auto result = runPass(runSearchPassReference, parameters, settings, monitor);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(monitor.marks, c.marks) << c.stopAtPoll;
    EXPECT_EQ(monitor.polls, c.stopAtPoll);
  }
}

TEST(StopKey, FastEngineStopsWithinTheOrderingAndFinishesIt) {
  Settings settings;
  settings.orderSwap = true;
  testing_support::RecordingMonitor monitor(3);
  const auto result = runPass(runSearchPass, {1, 2, 3, 4, 5}, settings, monitor);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(monitor.marks, "\b\b\b-/|\b\b\b\\-/\b\b\b|\\-\b\b\b*****");
}

}  // namespace
