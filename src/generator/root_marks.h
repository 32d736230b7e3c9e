// Marks which values of a grouping's root a pass accepts, a block of
// operator rows at a time, with the widest vector unit the processor has.
// Every value is made by the same single double operation on every unit,
// so the marks are the same bits on each.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "generator/reduction.h"
#include "generator/search.h"

namespace generator {

// A grouping's root step: operator row p has the value
// left[p / (4 * count)] op right[p % count], op = (p / count) % 4, where
// count = 2^countShift is the number of the right child's values.
struct RootStep {
  const double* left;
  const double* right;
  int32_t countShift;
  // With exact arithmetic, how far each operator's values may be from
  // their exact values: the marks are then of the values that a whole
  // number in range lies within that tolerance of.
  const double* tolerances = nullptr;
  int64_t count() const { return int64_t{1} << countShift; }
  // Where markAcceptedRows puts the value of operator row p in the values
  // of the block [begin, end): in row order, but for a right child of fewer
  // than 64 values, each 64 rows' values operator by operator.
  int64_t slotOf(int64_t p, int64_t begin, int64_t end) const {
    const int64_t chunk = (p - begin) & ~int64_t{63};
    const int64_t offset = (p - begin) & 63;
    if (countShift >= 6) return p - begin;
    const int64_t quarter = std::min<int64_t>(64, end - begin - chunk) / 4;
    const int64_t code = (offset >> countShift) & 3;
    return chunk + code * quarter + ((offset >> (countShift + 2)) << countShift) + (offset & (count() - 1));
  }
};

// Sets bit p - begin of words, and clears the others, for each operator
// row p in [begin, end) whose value the settings accept, and leaves the
// values in `values` (end - begin of them, placed as slotOf says). begin
// is a multiple of 64; words holds (end - begin + 63) / 64 words.
void markAcceptedRows(const RootStep& root, int64_t begin, int64_t end, const AcceptedValues& accepted,
                      uint64_t* words, double* values);

enum class InstructionSet { Portable, Avx2, Avx512 };

std::string_view nameOf(InstructionSet set);
// The instruction sets this processor runs, the widest last.
std::vector<InstructionSet> supportedInstructionSets();
// Makes markAcceptedRows use this set; by default it uses the widest.
void useInstructionSet(InstructionSet set);

}  // namespace generator
