// Marks which values of a grouping's root a pass accepts, a block of
// operator rows at a time, with the widest vector unit the processor has.
// Every value is made by the same single double operation on every unit,
// so the marks are the same bits on each.
#pragma once

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
  int64_t count() const { return int64_t{1} << countShift; }
  // The value of operator row p, as the marks test it.
  double valueOf(int64_t p) const {
    return applyOperator(static_cast<int32_t>((p >> countShift) & 3), left[p >> (countShift + 2)],
                         right[p & (count() - 1)]);
  }
};

// Sets bit p - begin of words, and clears the others, for each operator
// row p in [begin, end) whose value the settings accept. begin is a
// multiple of 64; words holds (end - begin + 63) / 64 words.
void markAcceptedRows(const RootStep& root, int64_t begin, int64_t end, const AcceptedValues& accepted,
                      uint64_t* words);

enum class InstructionSet { Portable, Avx2, Avx512 };

std::string_view nameOf(InstructionSet set);
// The instruction sets this processor runs, the widest last.
std::vector<InstructionSet> supportedInstructionSets();
// Makes markAcceptedRows use this set; by default it uses the widest.
void useInstructionSet(InstructionSet set);

}  // namespace generator
