#include "generator/orderings.h"

#include <algorithm>
#include <map>
#include <numeric>


namespace generator {

std::string orderingKey(const std::vector<int32_t>& orderedValues) {
  std::string key;
  for (auto it = orderedValues.rbegin(); it != orderedValues.rend(); ++it) {
    key += std::to_string(*it);
    key += ' ';
  }
  return key;
}

int64_t distinctOrderingCount(const std::vector<int32_t>& parameters, bool orderSwap) {
  if (!orderSwap) return 1;
  std::map<int32_t, int64_t> multiplicity;
  for (int32_t value : parameters) ++multiplicity[value];
  // n! / (m1! m2! ...), built up one value at a time to stay exact.
  int64_t count = 1;
  int64_t placed = 0;
  for (const auto& [value, times] : multiplicity) {
    for (int64_t i = 1; i <= times; ++i) count = count * ++placed / i;
  }
  return count;
}

OrderingWalk::OrderingWalk(const std::vector<int32_t>& parameters, bool orderSwap)
    : parameters_(parameters), orderSwap_(orderSwap), indices_(parameters.size()) {
  std::iota(indices_.begin(), indices_.end(), 0);
}

bool OrderingWalk::next(std::vector<int32_t>& orderedValues) {
  for (;;) {
    if (started_ && (!orderSwap_ || !std::next_permutation(indices_.begin(), indices_.end()))) {
      return false;
    }
    started_ = true;
    orderedValues.resize(indices_.size());
    for (size_t p = 0; p < indices_.size(); ++p) orderedValues[p] = parameters_[indices_[p]];
    if (seenOrderings_.insert(orderingKey(orderedValues)).second) return true;
  }
}

}  // namespace generator
