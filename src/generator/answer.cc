#include "generator/answer.h"

#include <unordered_map>

namespace generator {

AnswerChoice selectAnswer(const std::vector<int32_t>& answers) {
  std::unordered_map<int32_t, int32_t> counts;
  for (int32_t value : answers) ++counts[value];
  AnswerChoice choice{answers[0], counts[answers[0]]};
  for (int32_t value : answers) {
    if (counts[value] < choice.exampleCount) choice = {value, counts[value]};
  }
  return choice;
}

SearchEnd runPasses(Question& question, ParameterDraw& draw, const SearchContext& context,
                    SearchEngine engine) {
  for (;;) {
    draw.redraw(context.settings, question.parameters);
    const Candidates candidates{question.CandidateExpressions, question.CandidateAnswers};
    if (engine(question.parameters, context, candidates) == SearchEnd::Stopped) return SearchEnd::Stopped;
    if (!question.CandidateAnswers.empty()) {
      const AnswerChoice choice = selectAnswer(question.CandidateAnswers);
      question.answer = choice.answer;
      question.exampleCount = choice.exampleCount;
      if (question.exampleCount <= context.settings.candidateCount) return SearchEnd::Completed;
    }
    if (!context.monitor.keepSearching()) return SearchEnd::Stopped;
  }
}

}  // namespace generator
