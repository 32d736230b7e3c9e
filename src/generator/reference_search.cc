#include "generator/reference_search.h"

#include "generator/reduction.h"

namespace generator {

void acceptCandidate(std::string_view text, double value, const Settings& settings,
                     Candidates candidates) {
  if (!AcceptedValues(settings).accepts(value)) return;
  // The multiplication test depends on the text alone, so asking it before
  // the duplicate test drops and keeps exactly the same expressions.
  if (settings.includesMulDiv && !containsMulDiv(text, settings.computerOperator)) return;
  if (!candidates.expressions.appendIfNew(text)) return;
  candidates.answers.push_back(static_cast<int32_t>(value));
}

namespace {

// Reduces every operator row of a combination row and collects each new
// text whose value is acceptable.
class StepByStepReducer final : public OrderingReducer {
 public:
  StepByStepReducer(const SearchContext& context, Candidates candidates, int32_t n)
      : context_(context), candidates_(candidates), work_(n) {}

  std::shared_ptr<const ExpressionRenderer> renderer() const override { return nullptr; }

  void beginOrdering(const std::vector<int32_t>& orderedValues, size_t) override {
    orderedValues_ = &orderedValues;
  }

  bool reduceRow(int64_t o) override {
    const RowTable& operators = context_.tables.operators;
    const int32_t* combinationRow = context_.tables.combinations.row(o);
    auto poll = [this] { return context_.monitor.shouldStop(); };
    for (int64_t p = 0; p < operators.rows(); ++p) {
      if (!reduceExpression(*orderedValues_, combinationRow, operators.row(p),
                            context_.settings.computerOperator, work_, poll)) {
        return false;
      }
      acceptCandidate(work_.terms[0].text, work_.terms[0].value, context_.settings, candidates_);
    }
    return true;
  }

 private:
  const SearchContext& context_;
  Candidates candidates_;
  ReductionWork work_;
  const std::vector<int32_t>* orderedValues_ = nullptr;
};

}  // namespace

SearchEnd runSearchPassReference(const std::vector<int32_t>& parameters, const SearchContext& context,
                                 Candidates candidates) {
  StepByStepReducer reducer(context, candidates, static_cast<int32_t>(parameters.size()));
  return runPassWith(reducer, parameters, context, candidates);
}

}  // namespace generator
