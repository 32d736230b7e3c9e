#include "generator/search.h"

#include "generator/orderings.h"
#include "generator/reduction.h"

namespace generator {

bool containsMulDiv(std::string_view text, bool computerOperator) {
  if (computerOperator) return text.find_first_of("*/") != std::string_view::npos;
  return text.find(kMultiplySign) != std::string_view::npos ||
         text.find(kDivideSign) != std::string_view::npos;
}

SearchEnd runPassWith(OrderingReducer& reducer, const std::vector<int32_t>& parameters,
                      const SearchContext& context, Candidates candidates) {
  candidates.expressions.clear(reducer.renderer());
  candidates.answers.clear();
  SearchMonitor& monitor = context.monitor;
  const int64_t rows = context.tables.combinations.rows();
  OrderingWalk walk(parameters, context.settings.orderSwap);
  std::vector<int32_t> orderedValues;
  while (walk.next(orderedValues)) {
    reducer.beginOrdering(orderedValues, candidates.expressions.size());
    bool stopped = false;
    for (int64_t o = 0; o < rows && !stopped; ++o) {
      monitor.rowStarted(o);
      stopped = !reducer.reduceRow(o);
    }
    monitor.orderingFinished();
    if (stopped) return SearchEnd::Stopped;
  }
  return SearchEnd::Completed;
}

}  // namespace generator
