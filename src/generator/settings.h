// The seven user settings. The game's menu changes them; the search only
// reads them.
#pragma once

#include <cstdint>

namespace generator {

struct Settings {
  bool orderSwap = false;         // search every distinct ordering
  bool computerOperator = false;  // write * and / instead of the two-byte signs
  bool allowNegative = false;     // parameters and answers may be negative
  bool includesMulDiv = false;    // collect only expressions with * or /
  int32_t parameterCount = 4;     // at least 3
  int32_t candidateCount = 30;    // at least 1
  int32_t maxAbsValue = 100;      // at least 1
};

}  // namespace generator
