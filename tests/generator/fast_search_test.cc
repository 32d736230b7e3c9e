// Differential test: the fast search, with each duplicate test, on each
// vector unit and on 1, 2 and 5 worker threads, against the step-by-step
// reference on random parameter sets under every setting.
#include <gtest/gtest.h>

#include <random>

#include "generator/fast_search.h"
#include "generator/root_marks.h"
#include "generator/search_support.h"

namespace {

using namespace generator;

void expectSamePass(const std::vector<int32_t>& parameters, const Settings& settings) {
  const auto reference = testing_support::runPass(runSearchPassReference, parameters, settings);
  for (const InstructionSet set : supportedInstructionSets()) {
    useInstructionSet(set);
    for (SearchEngine engine : {runSearchPass, runSearchPassRememberingTexts, runSearchPassDerivingTwins}) {
      const auto fast = testing_support::runPass(engine, parameters, settings);
      ASSERT_EQ(fast.expressions, reference.expressions) << nameOf(set);
      ASSERT_EQ(fast.answers, reference.answers) << nameOf(set);
      ASSERT_EQ(fast.marks, reference.marks) << nameOf(set);
    }
  }
  useInstructionSet(supportedInstructionSets().back());
  for (const int32_t workers : {2, 5}) {
    const auto threaded = testing_support::runPass(runSearchPass, parameters, settings, workers);
    ASSERT_EQ(threaded.expressions, reference.expressions) << workers;
    ASSERT_EQ(threaded.answers, reference.answers) << workers;
    ASSERT_EQ(threaded.marks, reference.marks) << workers;
  }
}

std::vector<int32_t> randomParameters(std::mt19937& random, int n) {
  // Small values repeat often; some are zero, negative or huge.
  std::vector<int32_t> parameters;
  for (int i = 0; i < n; ++i) {
    switch (random() % 6) {
      case 0: parameters.push_back(0); break;
      case 1: parameters.push_back(static_cast<int32_t>(random() % 5)); break;
      case 2: parameters.push_back(-static_cast<int32_t>(random() % 10)); break;
      case 3: parameters.push_back(static_cast<int32_t>(random())); break;
      default: parameters.push_back(static_cast<int32_t>(random() % 201) - 100); break;
    }
  }
  return parameters;
}

Settings randomSettings(std::mt19937& random, bool orderSwap) {
  Settings settings;
  settings.orderSwap = orderSwap;
  settings.computerOperator = random() % 2;
  settings.allowNegative = random() % 2;
  settings.includesMulDiv = random() % 2;
  const int32_t maxima[] = {1, 10, 100, 1000, INT32_MAX};
  settings.maxAbsValue = maxima[random() % 5];
  return settings;
}

TEST(FastSearch, MatchesTheReferenceOnSmallParameterCounts) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 1500; ++round) {
    const int n = 3 + round % 3;
    const bool orderSwap = n == 3 || (n == 4 && round % 2 == 0) || round % 100 == 2;
    const auto parameters = randomParameters(random, n);
    expectSamePass(parameters, randomSettings(random, orderSwap));
  }
}

TEST(FastSearch, MatchesTheReferenceWithSixParameters) {
  std::mt19937 random(7);
  for (int round = 0; round < 12; ++round) {
    expectSamePass(randomParameters(random, 6), randomSettings(random, false));
  }
}

TEST(FastSearch, MatchesTheReferenceOnWorkedExamples) {
  Settings settings;
  expectSamePass({4, 2, 6}, settings);
  expectSamePass({49, 1, 49}, settings);
  expectSamePass({0, 0, 0}, settings);
  expectSamePass({12, 4, 2}, settings);
  settings.orderSwap = true;
  settings.allowNegative = true;
  expectSamePass({4, 9, 4}, settings);
  expectSamePass({8, -3, 5, 2}, settings);
  expectSamePass({3, 2, 5, 5}, settings);
}

// Stopped at any poll, the threads leave the marks of one thread stopped
// in the earliest ordering not finished: its marks so far, at least one,
// and its finish mark.
TEST(FastSearch, ThreadsStopAsOneThreadWould) {
  Settings settings;
  settings.orderSwap = true;
  const std::vector<int32_t> parameters = {1, 2, 3, 4, 5};
  const std::string whole = testing_support::runPass(runSearchPass, parameters, settings).marks;
  const std::string finish(frontend::kFinishMark);
  for (const int32_t workers : {2, 5}) {
    for (const long stopAtPoll : {1, 2, 3, 8, 40}) {
      testing_support::RecordingMonitor monitor(stopAtPoll);
      const auto result = testing_support::runPass(runSearchPass, parameters, settings, monitor, workers);
      const std::string& marks = monitor.marks;
      ASSERT_TRUE(result.stopped || marks == whole) << workers << " " << stopAtPoll;
      if (!result.stopped) continue;
      ASSERT_TRUE(marks.ends_with(finish)) << marks;
      const std::string shown = marks.substr(0, marks.size() - finish.size());
      EXPECT_TRUE(whole.starts_with(shown) && !shown.empty() && !shown.ends_with(finish)) << marks;
    }
  }
}

}  // namespace
