#include "generator/answer.h"

#include <gtest/gtest.h>

#include <map>

#include "generator/search_support.h"

namespace {

using namespace generator;

// The rarest value under a budget too small to keep any value whole.
AnswerChoice rarestOf(const std::vector<int32_t>& values) {
  Settings settings;
  AnswerCollector collector(settings, 2);
  collector.beginPass(nullptr);
  for (size_t i = 0; i < values.size(); ++i) collector.collect({values[i], 0, i});
  return collector.rarest();
}

TEST(AnswerCollector, RarestValueFirstCollectedAmongEquals) {
  const std::vector<int32_t> workedExample = {12, 0, 36, 1, 8, 12, 14, 2, 48, 8, 12, 16, 8, 32, 12};
  EXPECT_EQ(rarestOf(workedExample).answer, 0);
  EXPECT_EQ(rarestOf(workedExample).exampleCount, 1);
  EXPECT_EQ(rarestOf(std::vector<int32_t>(15, 0)).exampleCount, 15);
  EXPECT_EQ(rarestOf({5, 7, 7, 5, 9, 9}).answer, 5);
  EXPECT_EQ(rarestOf({5, 7, 7, 5, 9, 9}).exampleCount, 2);
}

// 200 questions from consecutive seconds, under budgets that keep every
// expression, drop values and collect the answer again, or keep nothing:
// each meets the invariants of a complete question over a reference pass
// of its final parameters, and its answer's texts are the reference's.
TEST(RunPasses, TwoHundredQuestionsMeetTheInvariants) {
  Settings settings;
  settings.candidateCount = 3;
  const Tables tables = buildTables(settings.parameterCount);
  for (size_t budget : {AnswerCollector::kDefaultBudget, size_t{8}, size_t{2}, size_t{0}}) {
    for (std::time_t second = 1700000000; second < 1700000200; ++second) {
      Question question(settings, budget);
      ParameterDraw draw(second);
      draw.firstDraw(settings, question.parameters);
      testing_support::RecordingMonitor monitor;
      ASSERT_EQ(runPasses(question, draw, {settings, tables, monitor}), SearchEnd::Completed);

      const auto reference = testing_support::runPass(runSearchPassReference, question.parameters, settings);
      std::map<int32_t, int32_t> counts;
      for (int32_t value : reference.answers) ++counts[value];
      ASSERT_GE(question.exampleCount, 1);
      ASSERT_LE(question.exampleCount, settings.candidateCount);
      ASSERT_EQ(counts[question.answer], question.exampleCount);
      for (const auto& [value, count] : counts) ASSERT_GE(count, question.exampleCount);
      std::vector<std::string> expected;
      for (size_t i = 0; i < reference.answers.size(); ++i) {
        if (reference.answers[i] == question.answer) expected.push_back(reference.expressions[i]);
        ASSERT_TRUE(!expected.empty() || counts[reference.answers[i]] != question.exampleCount)
            << "an equally rare value came first";
      }
      std::vector<std::string> texts;
      forEachAnswerText(question, settings, [&](const std::string& text) { texts.push_back(text); });
      ASSERT_EQ(texts, expected) << budget;
    }
  }
}

TEST(RunPasses, StopRequestedEndsWithoutAQuestion) {
  Settings settings;
  settings.parameterCount = 3;
  settings.candidateCount = 1;
  settings.maxAbsValue = 1;  // no question is possible: the passes never end by themselves
  const Tables tables = buildTables(3);
  Question question(settings);
  ParameterDraw draw(1);
  draw.firstDraw(settings, question.parameters);
  testing_support::RecordingMonitor monitor(5000);
  const SearchContext context{settings, tables, monitor};
  EXPECT_EQ(runPasses(question, draw, context), SearchEnd::Stopped);
}

}  // namespace
