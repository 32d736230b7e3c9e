// Helpers for running search passes in tests.
#pragma once

#include <string>
#include <vector>

#include "frontend/search_monitor.h"
#include "generator/answer.h"
#include "generator/reduction.h"
#include "generator/reference_search.h"
#include "generator/search.h"
#include "generator/tables.h"

namespace testing_support {

// Records the progress as the game's marks; stops the search at the given
// poll (0: never).
class RecordingMonitor final : public generator::SearchMonitor {
 public:
  explicit RecordingMonitor(long stopAtPoll = 0) : stopAtPoll_(stopAtPoll) {}
  void rowStarted(int64_t row) override { marks += frontend::kSpinnerMarks[row % 4]; }
  void orderingFinished() override { marks += frontend::kFinishMark; }
  bool shouldStop() override { return ++polls == stopAtPoll_; }
  std::string marks;
  long polls = 0;

 private:
  long stopAtPoll_;
};

// Keeps every collected expression's text and value.
struct PassResult final : generator::Collector {
  void beginPass(std::shared_ptr<const generator::ExpressionRenderer> renderer) override { renderer_ = renderer; }
  void collect(const generator::CollectedExpression& e) override {
    expressions.push_back(renderer_->render(e));
    answers.push_back(e.value);
  }
  std::vector<std::string> expressions;
  std::vector<int32_t> answers;
  std::string marks;
  bool stopped = false;
  std::shared_ptr<const generator::ExpressionRenderer> renderer_;
};

// One pass of the given engine over the parameters.
inline PassResult runPass(generator::SearchEngine engine, const std::vector<int32_t>& parameters,
                          const generator::Settings& settings, generator::SearchMonitor& monitor,
                          int32_t workers = 1) {
  const generator::Tables tables = generator::buildTables(static_cast<int32_t>(parameters.size()));
  PassResult result;
  const generator::SearchContext context{settings, tables, monitor, workers};
  result.stopped = engine(parameters, context, result) == generator::SearchEnd::Stopped;
  return result;
}

inline PassResult runPass(generator::SearchEngine engine, const std::vector<int32_t>& parameters,
                          const generator::Settings& settings, int32_t workers = 1) {
  RecordingMonitor monitor;
  PassResult result = runPass(engine, parameters, settings, monitor, workers);
  result.marks = monitor.marks;
  return result;
}

// Writes the signs as x and : so that expected texts read easily.
inline std::string readable(std::string_view bytes) {
  std::string text(bytes);
  for (auto [sign, letter] : {std::pair{generator::kMultiplySign, "x"}, std::pair{generator::kDivideSign, ":"}}) {
    for (size_t at; (at = text.find(sign)) != std::string::npos;) text.replace(at, 2, letter);
  }
  return text;
}

}  // namespace testing_support
