// Exact arithmetic for the search: an expression's value as a fraction,
// in 64-bit numerator and denominator while they fit and in GMP's
// rationals past them, for the expressions whose double value cannot
// decide whether they are a whole number in range.
#pragma once

#include <cstdint>
#include <optional>

#include "generator/tables.h"

namespace generator {

// How far a double value of the search may be from the exact value of its
// expression: an error bound carried beside each value that is not known
// to be exact. 0 means the double is the exact value, a whole number below
// 2^53 in magnitude; kUntrusted means no bound holds (a divisor whose
// bound includes zero), and the double is then a placeholder 0; NaN means
// the expression divides by exactly zero. Each double operation rounds
// once, to nearest, by at most 2^-53 of its result.
inline constexpr double kUntrusted = 0x1p1000;

// The bound on a op b from the operands' bounds ea and eb and the rounded
// result r: at least kUntrusted where there is none, NaN where an
// operand's is. The bound is
// computed in doubles and widened by far more than that computation's own
// rounding.
[[gnu::always_inline]] inline double errorBound(int64_t op, double a, double ea, double b, double eb, double r) {
  constexpr double kRounding = 0x1p-53;
  constexpr double kWiden = 1 + 0x1p-40;
  const double absA = a < 0 ? -a : a, absB = b < 0 ? -b : b, absR = r < 0 ? -r : r;
  // Without branches, so that loops over many values use vector units.
  double bound = 0;
  switch (op) {
    case 0:
    case 1: bound = ea + eb; break;
    case 2: bound = absA * eb + absB * ea + ea * eb; break;
    default: {
      const double quotient = (absA * eb + absB * ea) / (absB * (absB - eb));
      bound = absB > eb ? quotient : kUntrusted;  // a divisor whose bound includes zero
      break;
    }
  }
  bound = (bound + absR * kRounding) * kWiden;
  bound = bound > kUntrusted ? kUntrusted : bound;
  // An operand without a bound gives none; a NaN stays one.
  return ea < kUntrusted && eb < kUntrusted ? bound : ea + eb + kUntrusted;
}

// A fraction in lowest terms with a positive denominator, neither part
// INT64_MIN.
struct Fraction {
  int64_t num;
  int64_t den;
};

// a op b, or nothing where a part would not fit; b is not zero for a
// division.
std::optional<Fraction> combineFractions(int64_t op, Fraction a, Fraction b);

// The value of the grouping's expression for the operator row over the
// leaf values (whole numbers), when it is exactly a whole number within
// [low, high] and no division in it has a divisor of exactly zero.
std::optional<int32_t> exactWholeValue(const Grouping& grouping, int64_t operatorRow, const double* leafValues,
                                       int32_t low, int32_t high);

// Makes exactWholeValue use GMP's rationals from the start, so that tests
// reach that path with small numbers too.
void useBigRationalsOnly(bool only);
bool bigRationalsOnly();

}  // namespace generator
