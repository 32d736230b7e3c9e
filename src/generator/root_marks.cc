#include "generator/root_marks.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

#include "generator/exact.h"
#include "generator/reduction.h"

namespace generator {
namespace {

// Rows marked at a time: one word of marks.
constexpr int64_t kChunk = 64;
// Adding and taking away 1.5 * 2^52 rounds a value in range to a whole number.
constexpr double kRounder = 6755399441055744.0;

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

// The error bounds of the values fillValues made, in the same places.
[[gnu::always_inline]] inline void fillErrors(const RootStep& root, int64_t first, int64_t length,
                                              const double* values, double* out) {
  const int64_t count = root.count();
  const int64_t firstLeft = first >> (root.countShift + 2);
  if (count >= kChunk) {
    const int64_t op = (first >> root.countShift) & 3;
    const int64_t r0 = first & (count - 1);
    for (int64_t i = 0; i < kChunk; ++i) {
      out[i] = errorBound(op, root.left[firstLeft], root.leftErrors[firstLeft], root.right[r0 + i],
                          root.rightErrors[r0 + i], values[i]);
    }
    return;
  }
  const int64_t quarter = length / 4;
  for (int64_t code = 0; code < 4; ++code) {
    for (int64_t i = 0; i < quarter; ++i) {
      const int64_t l = firstLeft + (i >> root.countShift);
      const int64_t r = i & (count - 1);
      out[code * quarter + i] = errorBound(code, root.left[l], root.leftErrors[l], root.right[r],
                                           root.rightErrors[r], values[code * quarter + i]);
    }
  }
}

// Whether the operands of a chunk's rows are all exact whole numbers.
[[gnu::always_inline]] inline bool exactOperands(const RootStep& root, int64_t first, int64_t length) {
  const int64_t count = root.count();
  const int64_t firstLeft = first >> (root.countShift + 2);
  const int64_t lefts = count >= kChunk ? 1 : length / (4 * count);
  if (!root.exactRights[count >= kChunk ? (first & (count - 1)) / kChunk : 0]) return false;
  double any = 0;
  for (int64_t l = 0; l < lefts; ++l) any += root.leftErrors[firstLeft + l];
  return any == 0;  // bounds are never negative; a NaN is not 0
}

// Marks, in fillValues' places, the values that may be exactly a whole
// number in range: a whole number in range lies within their bound.
[[gnu::always_inline]] inline uint64_t exactCandidates(const RootStep& root, int64_t first, int64_t length,
                                                       const double* values, const AcceptedValues& accepted) {
  double errors[kChunk];
  fillErrors(root, first, length, values, errors);
  // The nearest whole number is the one to test where the bound is below
  // 1/2; beyond that, any overlap with the range holds one.
  bool candidate[kChunk];
  for (int64_t i = 0; i < length; ++i) {
    const double error = errors[i];
    const double value = error >= kUntrusted ? 0 : values[i];
    const double offWhole = value - ((value + kRounder) - kRounder);
    const bool near = error >= 0.5 || (offWhole < 0 ? -offWhole : offWhole) <= error;
    candidate[i] = value + error >= accepted.low && value - error <= accepted.high && near;
  }
  uint64_t bits = 0;
  for (int64_t i = 0; i < length; ++i) bits |= uint64_t{candidate[i]} << i;
  return bits;
}

// Four and eight doubles, for AVX2 and AVX-512.
typedef double FourDoubles __attribute__((vector_size(32)));
typedef double EightDoubles __attribute__((vector_size(64)));

// exactCandidates on vector units of Doubles, where an operator's rows in
// the chunk fill whole vectors.
template <typename Doubles>
[[gnu::always_inline]] inline uint64_t exactCandidatesOnVectors(const RootStep& root, int64_t first, int64_t length,
                                                                const double* values,
                                                                const AcceptedValues& accepted) {
  constexpr int kLanes = sizeof(Doubles) / sizeof(double);
  const int64_t count = root.count();
  const int64_t quarter = count >= kChunk ? kChunk : length / 4;  // rows of one operator
  if (quarter % kLanes != 0) return exactCandidates(root, first, length, values, accepted);
  // The operands of each operator's rows, as fillValues pairs them.
  const int64_t firstLeft = first >> (root.countShift + 2);
  alignas(64) double a[kChunk], ea[kChunk], b[kChunk], eb[kChunk];
  const double* bs = b;
  const double* ebs = eb;
  if (count >= kChunk) {  // one left operand; the right ones in place
    std::fill(a, a + kChunk, root.left[firstLeft]);
    std::fill(ea, ea + kChunk, root.leftErrors[firstLeft]);
    bs = root.right + (first & (count - 1));
    ebs = root.rightErrors + (first & (count - 1));
  } else {
    for (int64_t i = 0; i < quarter; ++i) {
      const int64_t l = firstLeft + (i >> root.countShift), r = i & (count - 1);
      a[i] = root.left[l], ea[i] = root.leftErrors[l], b[i] = root.right[r], eb[i] = root.rightErrors[r];
    }
  }
  const Doubles untrusted = Doubles{} + kUntrusted, zero = Doubles{}, half = zero + 0.5;
  const Doubles low = zero + accepted.low, high = zero + accepted.high;
  uint64_t bits = 0;
  for (int64_t start = 0; start < length; start += quarter) {
    const int64_t op = count >= kChunk ? (first >> root.countShift) & 3 : start / quarter;
    for (int64_t i = 0; i < quarter; i += kLanes) {
      Doubles A, EA, B, EB, R;
      __builtin_memcpy(&A, a + i, sizeof A);
      __builtin_memcpy(&EA, ea + i, sizeof EA);
      __builtin_memcpy(&B, bs + i, sizeof B);
      __builtin_memcpy(&EB, ebs + i, sizeof EB);
      __builtin_memcpy(&R, values + start + i, sizeof R);
      const Doubles absA = A < zero ? -A : A, absB = B < zero ? -B : B, absR = R < zero ? -R : R;
      Doubles bound = EA + EB;
      if (op == Multiply) bound = absA * EB + absB * EA + EA * EB;
      if (op == Divide) bound = absB > EB ? (absA * EB + absB * EA) / (absB * (absB - EB)) : untrusted;
      bound = (bound + absR * 0x1p-53) * (1 + 0x1p-40);
      bound = bound > untrusted ? untrusted : bound;
      bound = (EA < untrusted) & (EB < untrusted) ? bound : EA + EB + kUntrusted;
      const Doubles value = bound >= untrusted ? zero : R;
      Doubles offWhole = value - ((value + kRounder) - kRounder);
      offWhole = offWhole < zero ? -offWhole : offWhole;
      const auto candidate =
          (value + bound >= low) & (value - bound <= high) & ((bound >= half) | (offWhole <= bound));
      for (int k = 0; k < kLanes; ++k) bits |= uint64_t{candidate[k] != 0} << (start + i + k);
    }
  }
  return bits;
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

void markPortable(const RootStep& root, int64_t begin, int64_t end, const AcceptedValues& accepted,
                  uint64_t* words, double* block) {
  for (int64_t first = begin; first < end; first += kChunk) {
    const int64_t length = std::min(kChunk, end - first);
    double* values = block + (first - begin);
    fillValues(root, first, length, values);
    uint64_t bits = 0;
    if (root.leftErrors != nullptr && !exactOperands(root, first, length)) {
      bits = exactCandidates(root, first, length, values, accepted);
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
  const __m256d rounder = _mm256_set1_pd(kRounder);
  const uint64_t firstRows = firstOperatorRows(root, std::min(kChunk, end - begin));
  for (int64_t first = begin; first < end; first += kChunk) {
    const int64_t length = std::min(kChunk, end - first);
    double* values = block + (first - begin);
    fillValues(root, first, length, values);
    uint64_t bits = 0;
    const bool bounded = root.leftErrors != nullptr && !exactOperands(root, first, length);
    for (int64_t i = 0; i < length && !bounded; i += 4) {
      const __m256d x = _mm256_loadu_pd(values + i);
      const __m256d whole = _mm256_sub_pd(_mm256_add_pd(x, rounder), rounder);
      const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(x, low, _CMP_GE_OQ), _mm256_cmp_pd(x, high, _CMP_LE_OQ));
      const __m256d pass = _mm256_and_pd(inRange, _mm256_cmp_pd(whole, x, _CMP_EQ_OQ));
      bits |= static_cast<uint64_t>(_mm256_movemask_pd(pass)) << i;
    }
    if (bounded) bits = exactCandidatesOnVectors<FourDoubles>(root, first, length, values, accepted);
    *words++ = root.count() >= kChunk ? bits : inRowOrderBmi2(bits, root, length, firstRows);
  }
}

[[gnu::target("avx512f,bmi2")]] void markAvx512(const RootStep& root, int64_t begin, int64_t end,
                                                const AcceptedValues& accepted, uint64_t* words, double* block) {
  const __m512d low = _mm512_set1_pd(accepted.low);
  const __m512d high = _mm512_set1_pd(accepted.high);
  const __m512d rounder = _mm512_set1_pd(kRounder);
  const uint64_t firstRows = firstOperatorRows(root, std::min(kChunk, end - begin));
  for (int64_t first = begin; first < end; first += kChunk) {
    const int64_t length = std::min(kChunk, end - first);
    double* values = block + (first - begin);
    fillValues(root, first, length, values);
    uint64_t bits = 0;
    const bool bounded = root.leftErrors != nullptr && !exactOperands(root, first, length);
    for (int64_t i = 0; i < length && !bounded; i += 8) {
      const __m512d x = _mm512_loadu_pd(values + i);
      const __m512d whole = _mm512_sub_pd(_mm512_add_pd(x, rounder), rounder);
      __mmask8 pass = _mm512_cmp_pd_mask(x, low, _CMP_GE_OQ);
      pass = _mm512_mask_cmp_pd_mask(pass, x, high, _CMP_LE_OQ);
      pass = _mm512_mask_cmp_pd_mask(pass, whole, x, _CMP_EQ_OQ);
      bits |= static_cast<uint64_t>(pass) << i;
    }
    if (bounded) bits = exactCandidatesOnVectors<EightDoubles>(root, first, length, values, accepted);
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
