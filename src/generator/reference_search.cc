#include "generator/reference_search.h"

#include "generator/reduction.h"

namespace generator {

bool acceptCandidate(std::string_view text, double value, const Settings& settings, ExpressionList& texts) {
  if (!AcceptedValues(settings).accepts(value)) return false;
  // The multiplication test depends on the text alone, so asking it before
  // the duplicate test drops and keeps exactly the same expressions.
  if (settings.includesMulDiv && !containsMulDiv(text, settings.computerOperator)) return false;
  return texts.appendIfNew(text);
}

namespace {

// The texts of a pass, each described by its place among them.
class TextRenderer final : public ExpressionRenderer {
 public:
  std::string render(const CollectedExpression& expression) const override {
    return std::string(texts[expression.description]);
  }
  ExpressionList texts;
};

// Reduces every operator row of a combination row and collects each new
// text whose value is acceptable.
class StepByStepReducer final : public OrderingReducer {
 public:
  StepByStepReducer(const SearchContext& context, Collector& collector, int32_t n)
      : context_(context), collector_(collector), work_(n) {}

  std::shared_ptr<const ExpressionRenderer> renderer() const override { return renderer_; }

  void beginOrdering(const std::vector<int32_t>& orderedValues, uint64_t ordering) override {
    orderedValues_ = &orderedValues;
    ordering_ = ordering;
  }

  bool reduceRow(int64_t o) override {
    const Tables& tables = context_.tables;
    std::vector<int32_t> combination(static_cast<size_t>(tables.n - 1)), operators(combination.size());
    combinationRow(tables.n, o, combination.data());
    auto poll = [this] { return context_.monitor.shouldStop(); };
    for (int64_t p = 0; p < tables.operatorRows; ++p) {
      operatorRow(tables.n, p, operators.data());
      if (!reduceExpression(*orderedValues_, combination.data(), operators.data(),
                            context_.settings.computerOperator, work_, poll)) {
        return false;
      }
      const Term& term = work_.terms[0];
      if (acceptCandidate(term.text, term.value, context_.settings, renderer_->texts)) {
        collector_.collect({static_cast<int32_t>(term.value), ordering_, renderer_->texts.size() - 1});
      }
    }
    return true;
  }

 private:
  const SearchContext& context_;
  Collector& collector_;
  ReductionWork work_;
  std::shared_ptr<TextRenderer> renderer_ = std::make_shared<TextRenderer>();
  const std::vector<int32_t>* orderedValues_ = nullptr;
  uint64_t ordering_ = 0;
};

}  // namespace

SearchEnd runSearchPassReference(const std::vector<int32_t>& parameters, const SearchContext& context,
                                 Collector& collector) {
  StepByStepReducer reducer(context, collector, static_cast<int32_t>(parameters.size()));
  return runPassWith(reducer, parameters, context, collector);
}

}  // namespace generator
