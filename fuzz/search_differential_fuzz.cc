// The fast search, with each duplicate test and on each vector unit,
// against the step-by-step reference on arbitrary numbers and settings.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "generator/fast_search.h"
#include "generator/root_marks.h"
#include "generator/search_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int n = 3 + data[0] % 3;
  generator::Settings settings;
  settings.orderSwap = (data[1] & 1) && n < 5;
  settings.computerOperator = data[1] & 2;
  settings.allowNegative = data[1] & 4;
  settings.includesMulDiv = data[1] & 8;
  const int32_t maxima[] = {1, 10, 100, 1000, 65536, INT32_MAX, 2, 30};
  settings.maxAbsValue = maxima[(data[1] >> 4) & 7];
  std::vector<int32_t> parameters;
  for (size_t i = 2; parameters.size() < static_cast<size_t>(n); i += 4) {
    int32_t value = 0;
    if (i + 4 <= size) std::memcpy(&value, data + i, 4);
    // Mostly small numbers, where whole results are common.
    parameters.push_back((value & 0x100) ? value : value % 16);
  }
  const auto reference = testing_support::runPass(generator::runSearchPassReference, parameters, settings);
  const auto sets = generator::supportedInstructionSets();
  generator::useInstructionSet(sets[data[0] / 3 % sets.size()]);
  for (auto engine : {generator::runSearchPass, generator::runSearchPassRememberingTexts,
                      generator::runSearchPassDerivingTwins}) {
    const auto fast = testing_support::runPass(engine, parameters, settings);
    if (fast.expressions != reference.expressions || fast.answers != reference.answers ||
        fast.marks != reference.marks) {
      std::abort();
    }
  }
  return 0;
}
