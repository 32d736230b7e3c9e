// One search pass: every ordering, combination row and operator row is
// reduced, and every new acceptable expression is collected.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "frontend/settings.h"
#include "generator/expression_list.h"
#include "generator/tables.h"

namespace generator {

// The spinner mark written at the start of combination row o, by o mod 4,
// and the mark written when an ordering is done.
inline constexpr std::string_view kSpinnerMarks[4] = {"\b\b\b-/|", "\b\b\b\\-/", "\b\b\b|\\-",
                                                      "\b\b\b/|\\"};
inline constexpr std::string_view kFinishMark = "\b\b\b*****";

// What a search reports to and asks of the outside while it runs.
class SearchMonitor {
 public:
  virtual ~SearchMonitor() = default;
  // The key poll: true when the search is to stop.
  virtual bool pollStopKey() = 0;
  // Writes a progress mark.
  virtual void writeMark(std::string_view mark) = 0;
};

// The game's monitor: the s key on the console stops the search, and the
// marks go to the console, which shows them within about a millisecond.
class ConsoleSearchMonitor final : public SearchMonitor {
 public:
  explicit ConsoleSearchMonitor(console::Console& console) : console_(console) {}
  bool pollStopKey() override;
  void writeMark(std::string_view mark) override;

 private:
  console::Console& console_;
};

// Everything a pass reads besides the parameters, and the stop flag it sets.
struct SearchContext {
  const Settings& settings;
  const Tables& tables;
  SearchMonitor& monitor;
  bool& stopRequested;
};

// The lists a pass fills: entry i of answers is the value of expression i.
struct Candidates {
  ExpressionList& expressions;
  std::vector<int32_t>& answers;
};

// The final values a pass accepts: whole numbers within the settings'
// range. NaN and the infinities fail the range test.
struct AcceptedValues {
  explicit AcceptedValues(const Settings& settings)
      : low(settings.allowNegative ? -static_cast<double>(settings.maxAbsValue) : 0.0),
        high(settings.maxAbsValue) {}
  bool accepts(double value) const {
    // Adding and taking away 1.5 * 2^52 rounds any value within range to a
    // whole number; without branches, as the search tests millions of values.
    constexpr double kRounder = 6755399441055744.0;
    return (value >= low) & (value <= high) & ((value + kRounder) - kRounder == value);
  }
  double low;
  double high;
};

// Whether an expression text contains a multiplication or a division.
bool containsMulDiv(std::string_view text, bool computerOperator);
// Collects the expression if its value is acceptable, its text new, and it
// has a multiplication or division where the settings require one.
void acceptCandidate(std::string_view text, double value, const Settings& settings,
                     Candidates candidates);

// A pass by reducing every expression step by step, as written.
void runSearchPassReference(const std::vector<int32_t>& parameters, SearchContext& context,
                            Candidates candidates);
// The same pass with the same results, computed with far less work.
void runSearchPass(const std::vector<int32_t>& parameters, SearchContext& context,
                   Candidates candidates);

using SearchEngine = void (*)(const std::vector<int32_t>&, SearchContext&, Candidates);

}  // namespace generator
