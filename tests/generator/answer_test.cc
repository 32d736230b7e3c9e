#include "generator/answer.h"

#include <gtest/gtest.h>

#include <map>

#include "generator/search_support.h"

namespace {

using namespace generator;

TEST(SelectAnswer, RarestValueFirstCollectedAmongEquals) {
  const std::vector<int32_t> workedExample = {12, 0, 36, 1, 8, 12, 14, 2, 48, 8, 12, 16, 8, 32, 12};
  const AnswerChoice choice = selectAnswer(workedExample);
  EXPECT_EQ(choice.answer, 0);
  EXPECT_EQ(choice.exampleCount, 1);
  const AnswerChoice same = selectAnswer(std::vector<int32_t>(15, 0));
  EXPECT_EQ(same.answer, 0);
  EXPECT_EQ(same.exampleCount, 15);
  const AnswerChoice tie = selectAnswer({5, 7, 7, 5, 9, 9});
  EXPECT_EQ(tie.answer, 5);
  EXPECT_EQ(tie.exampleCount, 2);
}

// 200 questions from consecutive seconds: each meets the invariants of a
// complete question, and its lists are those of a reference pass over its
// final parameters.
TEST(RunPasses, TwoHundredQuestionsMeetTheInvariants) {
  Settings settings;
  settings.candidateCount = 3;
  const Tables tables = buildTables(settings.parameterCount);
  for (std::time_t second = 1700000000; second < 1700000200; ++second) {
    Question question;
    ParameterDraw draw(second);
    draw.firstDraw(settings, question.parameters);
    testing_support::RecordingMonitor monitor;
    const SearchContext context{settings, tables, monitor};
    ASSERT_EQ(runPasses(question, draw, context), SearchEnd::Completed);

    std::map<int32_t, int32_t> counts;
    for (int32_t value : question.CandidateAnswers) ++counts[value];
    ASSERT_GE(question.exampleCount, 1);
    ASSERT_LE(question.exampleCount, settings.candidateCount);
    ASSERT_EQ(counts[question.answer], question.exampleCount);
    for (const auto& [value, count] : counts) ASSERT_GE(count, question.exampleCount);
    for (int32_t value : question.CandidateAnswers) {
      if (value == question.answer) break;
      ASSERT_NE(counts[value], question.exampleCount) << "an equally rare value came first";
    }
    const auto reference = testing_support::runPass(runSearchPassReference, question.parameters, settings);
    ASSERT_EQ(reference.answers, question.CandidateAnswers);
    ASSERT_EQ(reference.expressions.size(), question.CandidateExpressions.size());
    for (size_t i = 0; i < reference.expressions.size(); ++i) {
      ASSERT_EQ(reference.expressions[i], question.CandidateExpressions[i]);
    }
  }
}

TEST(RunPasses, StopRequestedEndsWithoutAQuestion) {
  Settings settings;
  settings.parameterCount = 3;
  settings.candidateCount = 1;
  settings.maxAbsValue = 1;  // no question is possible: the passes never end by themselves
  const Tables tables = buildTables(3);
  Question question;
  ParameterDraw draw(1);
  draw.firstDraw(settings, question.parameters);
  testing_support::RecordingMonitor monitor(5000);
  const SearchContext context{settings, tables, monitor};
  EXPECT_EQ(runPasses(question, draw, context), SearchEnd::Stopped);
}

}  // namespace
