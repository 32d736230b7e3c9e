#include "generator/exact.h"

#include <gmp.h>

#include <atomic>
#include <numeric>
#include <vector>

#include "generator/reduction.h"

namespace generator {
namespace {

std::atomic<bool> bigOnly{false};


std::optional<Fraction> reduced(int64_t num, int64_t den) {
  if (num == INT64_MIN || den == INT64_MIN) return std::nullopt;
  if (den < 0) num = -num, den = -den;
  const int64_t g = std::gcd(num, den);
  return Fraction{num / g, den / g};
}

}  // namespace

std::optional<Fraction> combineFractions(int64_t op, Fraction a, Fraction b) {
  int64_t x = 0, y = 0, num = 0, den = 0;
  switch (op) {
    case Add:
    case Subtract: {
      const int64_t g = std::gcd(a.den, b.den);
      if (__builtin_mul_overflow(a.num, b.den / g, &x) || __builtin_mul_overflow(b.num, a.den / g, &y) ||
          __builtin_mul_overflow(a.den / g, b.den, &den)) {
        return std::nullopt;
      }
      if (op == Add ? __builtin_add_overflow(x, y, &num) : __builtin_sub_overflow(x, y, &num)) return std::nullopt;
      return reduced(num, den);
    }
    case Multiply: {
      // Denominators are at least 1, so neither divisor is zero.
      const int64_t g1 = std::gcd(a.num, b.den), g2 = std::gcd(b.num, a.den);
      if (__builtin_mul_overflow(a.num / g1, b.num / g2, &num) || __builtin_mul_overflow(a.den / g2, b.den / g1, &den)) {
        return std::nullopt;
      }
      return reduced(num, den);
    }
    default: {
      const Fraction reciprocal = b.num < 0 ? Fraction{-b.den, -b.num} : Fraction{b.den, b.num};
      return combineFractions(Multiply, a, reciprocal);
    }
  }
}

namespace {

// The steps of one expression, each with its operator.
struct Steps {
  Steps(const Grouping& grouping, int64_t operatorRow) : n(static_cast<int32_t>(grouping.steps.size()) + 1) {
    for (const GroupingNode& step : grouping.steps) {
      ops.push_back(static_cast<int32_t>((operatorRow >> (2 * (n - 2 - step.gap))) & 3));
    }
  }
  int32_t n;
  std::vector<int32_t> ops;
};

enum class Outcome { Whole, NotAccepted, Overflow };

// The evaluation in 64-bit fractions.
Outcome evaluateSmall(const Grouping& grouping, const Steps& steps, const double* leaves, int64_t& whole) {
  std::vector<Fraction> values(grouping.steps.size());
  auto valueOf = [&](int32_t node) {
    return node < steps.n ? Fraction{static_cast<int64_t>(leaves[node]), 1} : values[static_cast<size_t>(node - steps.n)];
  };
  for (size_t i = 0; i < grouping.steps.size(); ++i) {
    const Fraction b = valueOf(grouping.steps[i].right);
    if (steps.ops[i] == Divide && b.num == 0) return Outcome::NotAccepted;
    const auto result = combineFractions(steps.ops[i], valueOf(grouping.steps[i].left), b);
    if (!result) return Outcome::Overflow;
    values[i] = *result;
  }
  if (values.back().den != 1) return Outcome::NotAccepted;
  whole = values.back().num;
  return Outcome::Whole;
}

// The evaluation in GMP's rationals.
Outcome evaluateBig(const Grouping& grouping, const Steps& steps, const double* leaves, int64_t& whole) {
  const size_t count = grouping.steps.size();
  std::vector<mpq_t> values(count + static_cast<size_t>(steps.n));
  for (mpq_t& value : values) mpq_init(value);
  auto valueOf = [&](int32_t node) -> mpq_t& {
    return node < steps.n ? values[count + static_cast<size_t>(node)] : values[static_cast<size_t>(node - steps.n)];
  };
  for (int32_t i = 0; i < steps.n; ++i) mpq_set_si(valueOf(i), static_cast<long>(leaves[i]), 1);
  Outcome outcome = Outcome::Whole;
  for (size_t i = 0; i < count && outcome == Outcome::Whole; ++i) {
    mpq_t& a = valueOf(grouping.steps[i].left);
    mpq_t& b = valueOf(grouping.steps[i].right);
    switch (steps.ops[i]) {
      case Add: mpq_add(values[i], a, b); break;
      case Subtract: mpq_sub(values[i], a, b); break;
      case Multiply: mpq_mul(values[i], a, b); break;
      default:
        if (mpq_sgn(b) == 0) {
          outcome = Outcome::NotAccepted;
        } else {
          mpq_div(values[i], a, b);
        }
    }
  }
  if (outcome == Outcome::Whole) {
    mpq_t& result = values[count - 1];
    if (mpz_cmp_ui(mpq_denref(result), 1) != 0 || !mpz_fits_slong_p(mpq_numref(result))) {
      outcome = Outcome::NotAccepted;
    } else {
      whole = mpz_get_si(mpq_numref(result));
    }
  }
  for (mpq_t& value : values) mpq_clear(value);
  return outcome;
}

}  // namespace

std::optional<int32_t> exactWholeValue(const Grouping& grouping, int64_t operatorRow, const double* leafValues,
                                       int32_t low, int32_t high) {
  const Steps steps(grouping, operatorRow);
  int64_t whole = 0;
  Outcome outcome = bigOnly.load(std::memory_order_relaxed) ? Outcome::Overflow
                                                             : evaluateSmall(grouping, steps, leafValues, whole);
  if (outcome == Outcome::Overflow) outcome = evaluateBig(grouping, steps, leafValues, whole);
  if (outcome != Outcome::Whole || whole < low || whole > high) return std::nullopt;
  return static_cast<int32_t>(whole);
}

void useBigRationalsOnly(bool only) { bigOnly.store(only, std::memory_order_relaxed); }
bool bigRationalsOnly() { return bigOnly.load(std::memory_order_relaxed); }

}  // namespace generator
