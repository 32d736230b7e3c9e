// The orderings of a search pass: the drawn order alone, or every
// permutation of the parameters in lexicographic order of their indices,
// each distinct sequence of values once.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace generator {

// The key of an ordering: each value's number text and a space, last
// position first ("4 9 4 " for 4, 9, 4).
std::string orderingKey(const std::vector<int32_t>& orderedValues);

// Number of orderings a pass searches: 1 without reordering, else the
// number of distinct sequences of the parameters' values.
int64_t distinctOrderingCount(const std::vector<int32_t>& parameters, bool orderSwap);

class OrderingWalk {
 public:
  OrderingWalk(const std::vector<int32_t>& parameters, bool orderSwap);
  // Fills orderedValues with the next ordering whose key is new in this
  // pass; false when the walk is over.
  bool next(std::vector<int32_t>& orderedValues);

 private:
  const std::vector<int32_t>& parameters_;
  bool orderSwap_;
  bool started_ = false;
  std::vector<int32_t> indices_;
  std::unordered_set<std::string> seenOrderings_;
};

}  // namespace generator
