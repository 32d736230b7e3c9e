// The game's view of a running search: a spinner and a line of asterisks
// on the console, and the s key to stop it.
#pragma once

#include <string_view>

#include "console/console.h"
#include "generator/search.h"

namespace frontend {

// The spinner mark written at the start of combination row o, by o mod 4,
// and the mark written when an ordering is done.
inline constexpr std::string_view kSpinnerMarks[4] = {"\b\b\b-/|", "\b\b\b\\-/", "\b\b\b|\\-",
                                                      "\b\b\b/|\\"};
inline constexpr std::string_view kFinishMark = "\b\b\b*****";

class GameSearchMonitor final : public generator::SearchMonitor {
 public:
  explicit GameSearchMonitor(console::Console& console) : console_(console) {}
  void rowStarted(int64_t row) override { writeMark(kSpinnerMarks[row % 4]); }
  void orderingFinished() override { writeMark(kFinishMark); }
  // The key poll: a waiting s or S stops the search; other keys are dropped.
  bool shouldStop() override;
  // Once input has ended nothing can stop a search, so none goes on past
  // the pass in which the end was noticed.
  bool keepSearching() override { return !inputEnded_; }
  bool inputEnded() const { return inputEnded_; }

 private:
  void writeMark(std::string_view mark);

  console::Console& console_;
  bool inputEnded_ = false;
};

}  // namespace frontend
