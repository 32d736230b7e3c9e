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
                      const SearchContext& context, Collector& collector) {
  collector.beginPass(reducer.renderer());
  SearchMonitor& monitor = context.monitor;
  const int64_t rows = context.tables.combinationRows;
  OrderingWalk walk(parameters, context.settings.orderSwap);
  std::vector<int32_t> orderedValues;
  for (uint64_t ordering = 0; walk.next(orderedValues); ++ordering) {
    reducer.beginOrdering(orderedValues, ordering);
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
