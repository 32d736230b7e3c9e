// Turning search passes into a question: the rarest value is the answer,
// and a pass whose answer is too common is followed by another.
#pragma once

#include <cstdint>
#include <vector>

#include "generator/expression_list.h"
#include "generator/fast_search.h"
#include "generator/parameters.h"
#include "generator/search.h"

namespace generator {

struct Question {
  std::vector<int32_t> parameters;
  int32_t answer = 0;
  int32_t exampleCount = 0;
  ExpressionList CandidateExpressions;
  std::vector<int32_t> CandidateAnswers;
};

struct AnswerChoice {
  int32_t answer;
  int32_t exampleCount;
};

// The value with the fewest entries, the first collected among equals,
// and its number of entries. The list must not be empty.
AnswerChoice selectAnswer(const std::vector<int32_t>& answers);

// Runs passes, redrawing one parameter before each, until one has an
// answer with at most candidateCount expressions (Completed, the question
// made) or the monitor stops the search or gives it up (Stopped).
SearchEnd runPasses(Question& question, ParameterDraw& draw, const SearchContext& context,
                    SearchEngine engine = runSearchPass);

}  // namespace generator
