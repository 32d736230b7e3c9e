// Drawing and redrawing of a question's parameters.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "generator/settings.h"

namespace generator {

// The random source of one question: seeded from the clock when the
// question starts, then drawn n times and once more at the head of each pass.
class ParameterDraw {
 public:
  // Seeds a fresh engine with the seed cut to 32 bits: by default the
  // time in whole seconds.
  explicit ParameterDraw(uint64_t seed);

  // One draw: 0..maxAbsValue, or -maxAbsValue..maxAbsValue with negatives on.
  int32_t drawParameter(const Settings& settings);
  // Fills the empty list with parameterCount draws, parameter 0 first.
  void firstDraw(const Settings& settings, std::vector<int32_t>& parameters);
  // Replaces the parameter after the one replaced last, cycling.
  void redraw(const Settings& settings, std::vector<int32_t>& parameters);

 private:
  std::mt19937 engine_;
  int32_t rollIndex_ = 0;
};

}  // namespace generator
