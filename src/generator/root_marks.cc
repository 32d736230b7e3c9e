#include "generator/root_marks.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

#include "generator/reduction.h"

namespace generator {
namespace {

// Rows marked at a time: one word of marks.
constexpr int64_t kChunk = 64;

// The values of operator rows [first, first + length) of the root, where
// first is a multiple of 64 and length at most 64, in row order; for a
// right child of fewer than 64 values, operator by operator instead: the
// quarter of the chunk's rows with operator code c from out[c * length / 4]
// on, in row order. Inlined into each instruction set's function, so that
// its loops use that set's units.
[[gnu::always_inline]] inline void fillValues(const RootStep& root, int64_t first, int64_t length, double* out) {
  const int64_t count = root.count();
  if (count >= kChunk) {  // the chunk shares its left value and operator
    const double a = root.left[first >> (root.countShift + 2)];
    const double* right = root.right + (first & (count - 1));
    withOperator((first >> root.countShift) & 3, [&](auto op) {
      for (int64_t i = 0; i < kChunk; ++i) out[i] = op(a, right[i]);
    });
    return;
  }
  // The chunk holds whole runs of 4 * count rows, one left value each; the
  // operands of each quarter are the same.
  const int64_t quarter = length / 4;
  double left[kChunk / 4];
  double right[kChunk / 4];
  for (int64_t i = 0; i < quarter; ++i) {
    left[i] = root.left[(first >> (root.countShift + 2)) + (i >> root.countShift)];
    right[i] = root.right[i & (count - 1)];
  }
  for (int64_t code = 0; code < 4; ++code) {
    withOperator(code, [&](auto op) {
      for (int64_t i = 0; i < quarter; ++i) out[code * quarter + i] = op(left[i], right[i]);
    });
  }
}

// With exact arithmetic, the tolerance of each of fillValues' places: that
// of the operator whose value is there.
[[gnu::always_inline]] inline void fillTolerances(const RootStep& root, int64_t first, int64_t length, double* out) {
  if (root.count() >= kChunk) {
    std::fill(out, out + kChunk, root.tolerances[(first >> root.countShift) & 3]);
    return;
  }
  const int64_t quarter = length / 4;
  for (int64_t code = 0; code < 4; ++code) std::fill(out + code * quarter, out + (code + 1) * quarter, root.tolerances[code]);
}

// Where fillValues put the values operator by operator: the rows of
// operator code 0 in a chunk of `length`, as a mask of row bits.
uint64_t firstOperatorRows(const RootStep& root, int64_t length) {
  const int64_t count = root.count();
  if (count >= kChunk) return 0;  // filled in row order instead
  uint64_t rows = 0;
  for (int64_t run = 0; run < length; run += 4 * count) rows |= ((uint64_t{1} << count) - 1) << run;
  return rows;
}

// Marks of values filled operator by operator, put in row order.
uint64_t inRowOrderPortable(uint64_t marks, const RootStep& root, int64_t length) {
  const int64_t quarter = length / 4;
  uint64_t rows = 0;
  for (; marks != 0; marks &= marks - 1) {
    const int64_t bit = std::countr_zero(marks);
    const int64_t code = bit / quarter;
    const int64_t i = bit % quarter;
    rows |= uint64_t{1} << (((i >> root.countShift) << (root.countShift + 2)) | (code << root.countShift) |
                            (i & (root.count() - 1)));
  }
  return rows;
}

[[gnu::target("bmi2")]] inline uint64_t inRowOrderBmi2(uint64_t marks, const RootStep& root, int64_t length,
                                                       uint64_t firstRows) {
  const int64_t quarter = length / 4;
  const uint64_t quarterMask = (uint64_t{1} << quarter) - 1;
  uint64_t rows = 0;
  for (int64_t code = 0; code < 4; ++code) {
    rows |= _pdep_u64((marks >> (code * quarter)) & quarterMask, firstRows << (code << root.countShift));
  }
  return rows;
}

// Whether a whole number in range lies within the tolerance of value.
inline bool nearlyAccepted(const AcceptedValues& accepted, double value, double tolerance) {
  const double offWhole = value - nearestWhole(value);
  return (offWhole < 0 ? -offWhole : offWhole) <= tolerance && value + tolerance >= accepted.low &&
         value - tolerance <= accepted.high;
}

void markPortable(const RootStep& root, int64_t begin, int64_t end, const AcceptedValues& accepted,
                  uint64_t* words, double* block) {
  for (int64_t first = begin; first < end; first += kChunk) {
    const int64_t length = std::min(kChunk, end - first);
    double* values = block + (first - begin);
    fillValues(root, first, length, values);
    uint64_t bits = 0;
    if (root.tolerances != nullptr) {
      double tolerances[kChunk];
      fillTolerances(root, first, length, tolerances);
      for (int64_t i = 0; i < length; ++i) bits |= uint64_t{nearlyAccepted(accepted, values[i], tolerances[i])} << i;
    } else {
      for (int64_t i = 0; i < length; ++i) bits |= uint64_t{accepted.accepts(values[i])} << i;
    }
    *words++ = root.count() >= kChunk ? bits : inRowOrderPortable(bits, root, length);
  }
}

[[gnu::target("avx2,bmi2")]] void markAvx2(const RootStep& root, int64_t begin, int64_t end,
                                           const AcceptedValues& accepted, uint64_t* words, double* block) {
  const __m256d low = _mm256_set1_pd(accepted.low);
  const __m256d high = _mm256_set1_pd(accepted.high);
  const __m256d rounder = _mm256_set1_pd(kWholeRounder);
  const uint64_t firstRows = firstOperatorRows(root, std::min(kChunk, end - begin));
  for (int64_t first = begin; first < end; first += kChunk) {
    const int64_t length = std::min(kChunk, end - first);
    double* values = block + (first - begin);
    fillValues(root, first, length, values);
    uint64_t bits = 0;
    alignas(64) double tolerances[kChunk];  // filled with exact arithmetic only
    if (root.tolerances != nullptr) fillTolerances(root, first, length, tolerances);
    for (int64_t i = 0; i < length; i += 4) {
      const __m256d x = _mm256_loadu_pd(values + i);
      const __m256d whole = _mm256_sub_pd(_mm256_add_pd(x, rounder), rounder);
      __m256d pass;
      if (root.tolerances == nullptr) {
        const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(x, low, _CMP_GE_OQ), _mm256_cmp_pd(x, high, _CMP_LE_OQ));
        pass = _mm256_and_pd(inRange, _mm256_cmp_pd(whole, x, _CMP_EQ_OQ));
      } else {
        const __m256d tolerance = _mm256_load_pd(tolerances + i);
        const __m256d off = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(x, whole));
        const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(_mm256_add_pd(x, tolerance), low, _CMP_GE_OQ),
                                              _mm256_cmp_pd(_mm256_sub_pd(x, tolerance), high, _CMP_LE_OQ));
        pass = _mm256_and_pd(inRange, _mm256_cmp_pd(off, tolerance, _CMP_LE_OQ));
      }
      bits |= static_cast<uint64_t>(_mm256_movemask_pd(pass)) << i;
    }
    *words++ = root.count() >= kChunk ? bits : inRowOrderBmi2(bits, root, length, firstRows);
  }
}

[[gnu::target("avx512f,bmi2")]] void markAvx512(const RootStep& root, int64_t begin, int64_t end,
                                                const AcceptedValues& accepted, uint64_t* words, double* block) {
  const __m512d low = _mm512_set1_pd(accepted.low);
  const __m512d high = _mm512_set1_pd(accepted.high);
  const __m512d rounder = _mm512_set1_pd(kWholeRounder);
  const uint64_t firstRows = firstOperatorRows(root, std::min(kChunk, end - begin));
  for (int64_t first = begin; first < end; first += kChunk) {
    const int64_t length = std::min(kChunk, end - first);
    double* values = block + (first - begin);
    fillValues(root, first, length, values);
    uint64_t bits = 0;
    alignas(64) double tolerances[kChunk];  // filled with exact arithmetic only
    if (root.tolerances != nullptr) fillTolerances(root, first, length, tolerances);
    for (int64_t i = 0; i < length; i += 8) {
      const __m512d x = _mm512_loadu_pd(values + i);
      const __m512d whole = _mm512_sub_pd(_mm512_add_pd(x, rounder), rounder);
      __mmask8 pass;
      if (root.tolerances == nullptr) {
        pass = _mm512_cmp_pd_mask(x, low, _CMP_GE_OQ);
        pass = _mm512_mask_cmp_pd_mask(pass, x, high, _CMP_LE_OQ);
        pass = _mm512_mask_cmp_pd_mask(pass, whole, x, _CMP_EQ_OQ);
      } else {
        const __m512d tolerance = _mm512_load_pd(tolerances + i);
        const __m512d off = _mm512_abs_pd(_mm512_sub_pd(x, whole));
        pass = _mm512_cmp_pd_mask(_mm512_add_pd(x, tolerance), low, _CMP_GE_OQ);
        pass = _mm512_mask_cmp_pd_mask(pass, _mm512_sub_pd(x, tolerance), high, _CMP_LE_OQ);
        pass = _mm512_mask_cmp_pd_mask(pass, off, tolerance, _CMP_LE_OQ);
      }
      bits |= static_cast<uint64_t>(pass) << i;
    }
    *words++ = root.count() >= kChunk ? bits : inRowOrderBmi2(bits, root, length, firstRows);
  }
}

using MarkRows = void (*)(const RootStep&, int64_t, int64_t, const AcceptedValues&, uint64_t*, double*);

MarkRows implementationOf(InstructionSet set) {
  switch (set) {
    case InstructionSet::Avx512: return markAvx512;
    case InstructionSet::Avx2: return markAvx2;
    default: return markPortable;
  }
}

std::atomic<MarkRows>& chosen() {
  static std::atomic<MarkRows> mark{implementationOf(supportedInstructionSets().back())};
  return mark;
}

}  // namespace

void markAcceptedRows(const RootStep& root, int64_t begin, int64_t end, const AcceptedValues& accepted,
                      uint64_t* words, double* values) {
  chosen().load(std::memory_order_relaxed)(root, begin, end, accepted, words, values);
}

std::string_view nameOf(InstructionSet set) {
  switch (set) {
    case InstructionSet::Avx512: return "AVX-512";
    case InstructionSet::Avx2: return "AVX2";
    default: return "portable";
  }
}

std::vector<InstructionSet> supportedInstructionSets() {
  __builtin_cpu_init();
  std::vector<InstructionSet> sets = {InstructionSet::Portable};
  if (!__builtin_cpu_supports("bmi2")) return sets;
  if (__builtin_cpu_supports("avx2")) sets.push_back(InstructionSet::Avx2);
  if (__builtin_cpu_supports("avx512f")) sets.push_back(InstructionSet::Avx512);
  return sets;
}

void useInstructionSet(InstructionSet set) { chosen().store(implementationOf(set), std::memory_order_relaxed); }

}  // namespace generator
