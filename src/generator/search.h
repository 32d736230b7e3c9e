// One search pass: every ordering, combination row and operator row is
// reduced, and every new acceptable expression is collected. The pass
// skeleton here is shared by the engines, which differ only in how they
// reduce the combination rows of one ordering.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "generator/collection.h"
#include "generator/settings.h"
#include "generator/tables.h"

namespace generator {

// What a pass reports while it runs, and whom it asks whether to stop. By
// itself it shows nothing and never stops a pass.
class SearchMonitor {
 public:
  virtual ~SearchMonitor() = default;
  // Combination row `row` of the current ordering is about to be reduced.
  virtual void rowStarted(int64_t /*row*/) {}
  // The current ordering is done, or was stopped within.
  virtual void orderingFinished() {}
  // Asked often while a pass runs: true stops it.
  virtual bool shouldStop() { return false; }
  // Asked after a pass that made no question: false gives the question up.
  virtual bool keepSearching() { return true; }
};

// How a pass judges the final values: by their doubles, one rounding per
// operation, or by their exact rational values, when no divisor in the
// expression is exactly zero.
enum class Arithmetic { Float, Exact };

// Everything a pass reads besides the parameters.
struct SearchContext {
  const Settings& settings;
  const Tables& tables;
  SearchMonitor& monitor;
  // Threads that reduce orderings; 1 reduces them on the calling thread.
  int32_t workers = 1;
  Arithmetic arithmetic = Arithmetic::Float;
};

enum class SearchEnd { Completed, Stopped };

// Adding and taking away 1.5 * 2^52 rounds any value below 2^51 in
// magnitude to the nearest whole number, without branches.
inline constexpr double kWholeRounder = 6755399441055744.0;
inline double nearestWhole(double value) { return (value + kWholeRounder) - kWholeRounder; }

// The final values a pass accepts: whole numbers within the settings'
// range. NaN and the infinities fail the range test.
struct AcceptedValues {
  explicit AcceptedValues(const Settings& settings)
      : low(settings.allowNegative ? -static_cast<double>(settings.maxAbsValue) : 0.0),
        high(settings.maxAbsValue) {}
  // Without branches, as the search tests millions of values.
  bool accepts(double value) const { return (value >= low) & (value <= high) & (nearestWhole(value) == value); }
  double low;
  double high;
};

// Whether an expression text contains a multiplication or a division.
bool containsMulDiv(std::string_view text, bool computerOperator);

// How an engine reduces the combination rows of one ordering.
class OrderingReducer {
 public:
  virtual ~OrderingReducer() = default;
  // What renders the engine's collected expressions.
  virtual std::shared_ptr<const ExpressionRenderer> renderer() const = 0;
  // The next combination rows are over these values, the pass's ordering
  // number `ordering`; they stay in place until the next ordering begins.
  virtual void beginOrdering(const std::vector<int32_t>& orderedValues, uint64_t ordering) = 0;
  // Collects what one combination row reaches over every operator row;
  // false when the monitor stopped it.
  virtual bool reduceRow(int64_t combinationRow) = 0;
};

// The pass skeleton: starts the collector's pass, walks the orderings,
// reports each combination row and each finished ordering, and has the
// reducer do the rest.
SearchEnd runPassWith(OrderingReducer& reducer, const std::vector<int32_t>& parameters,
                      const SearchContext& context, Collector& collector);

using SearchEngine = SearchEnd (*)(const std::vector<int32_t>&, const SearchContext&, Collector&);

// A monitor for a pass that shows no progress: it only asks another
// monitor whether to stop.
class SilentMonitor final : public SearchMonitor {
 public:
  explicit SilentMonitor(SearchMonitor& asked) : asked_(asked) {}
  bool shouldStop() override { return asked_.shouldStop(); }
  bool keepSearching() override { return asked_.keepSearching(); }

 private:
  SearchMonitor& asked_;
};

}  // namespace generator
