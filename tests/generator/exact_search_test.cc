// Exact arithmetic against an evaluator of its own: every text of the
// step-by-step enumeration is parsed back and evaluated in GMP's rationals
// here, and the search must collect exactly the texts whose value is a
// whole number in range with no division by zero, in order, each once.
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <random>
#include <unordered_set>

#include "generator/exact.h"
#include "generator/fast_search.h"
#include "generator/orderings.h"
#include "generator/search_support.h"

namespace {

using namespace generator;

// Parses and evaluates an expression text; nothing for a division by zero.
class TextEvaluator {
 public:
  explicit TextEvaluator(std::string_view text) : text_(text) {}
  std::optional<mpq_class> value() {
    mpq_class v = sum();
    return valid_ ? std::optional(v) : std::nullopt;
  }

 private:
  bool take(std::string_view token) {
    if (!text_.substr(at_).starts_with(token)) return false;
    at_ += token.size();
    return true;
  }
  mpq_class sum() {
    mpq_class v = product();
    for (;;) {
      if (take("+")) v += product();
      else if (take("-")) v -= product();
      else return v;
    }
  }
  mpq_class product() {
    mpq_class v = operand();
    for (;;) {
      if (take(kMultiplySign) || take("*")) {
        v *= operand();
      } else if (take(kDivideSign) || take("/")) {
        const mpq_class d = operand();
        if (d == 0) valid_ = false;
        if (d != 0) v /= d;
      } else {
        return v;
      }
    }
  }
  mpq_class operand() {
    if (take("(")) {
      const mpq_class v = take("-") ? mpq_class(-number()) : sum();
      take(")");
      return v;
    }
    return number();
  }
  mpz_class number() {
    size_t end = at_;
    while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
    const mpz_class v(std::string(text_.substr(at_, end - at_)));
    at_ = end;
    return v;
  }

  std::string_view text_;
  size_t at_ = 0;
  bool valid_ = true;
};

// What an exact pass must collect: each enumerated text at its first
// occurrence, where its exact value is acceptable.
testing_support::PassResult expectedPass(const std::vector<int32_t>& parameters, const Settings& settings) {
  const auto n = static_cast<int32_t>(parameters.size());
  const Tables tables = buildTables(n);
  testing_support::PassResult expected;
  std::unordered_set<std::string> collected;
  std::vector<int32_t> combination(static_cast<size_t>(n - 1)), operators(combination.size()), ordered;
  ReductionWork work(n);
  const int64_t low = settings.allowNegative ? -int64_t{settings.maxAbsValue} : 0;
  for (OrderingWalk walk(parameters, settings.orderSwap); walk.next(ordered);) {
    for (int64_t o = 0; o < tables.combinationRows; ++o) {
      combinationRow(n, o, combination.data());
      for (int64_t p = 0; p < tables.operatorRows; ++p) {
        operatorRow(n, p, operators.data());
        const std::string text =
            reduceExpression(ordered, combination.data(), operators.data(), settings.computerOperator, work).text;
        if (collected.contains(text)) continue;
        if (settings.includesMulDiv && !containsMulDiv(text, settings.computerOperator)) continue;
        const auto value = TextEvaluator(text).value();
        if (!value || value->get_den() != 1 || *value < low || *value > settings.maxAbsValue) continue;
        collected.insert(text);
        expected.expressions.push_back(text);
        expected.answers.push_back(static_cast<int32_t>(value->get_num().get_si()));
      }
    }
  }
  return expected;
}

void expectExactPass(const std::vector<int32_t>& parameters, const Settings& settings) {
  const auto expected = expectedPass(parameters, settings);
  const Tables tables = buildTables(static_cast<int32_t>(parameters.size()));
  for (const bool bigOnly : {false, true}) {
    useBigRationalsOnly(bigOnly);
    for (SearchEngine engine : {runSearchPass, runSearchPassRememberingTexts, runSearchPassDerivingTwins}) {
      for (const int32_t workers : {1, 2}) {
        SearchMonitor monitor;
        testing_support::PassResult found;
        engine(parameters, {settings, tables, monitor, workers, Arithmetic::Exact}, found);
        ASSERT_EQ(found.expressions, expected.expressions) << bigOnly << workers;
        ASSERT_EQ(found.answers, expected.answers) << bigOnly << workers;
      }
    }
  }
  useBigRationalsOnly(false);
}

// Zeros, duplicates, negative numbers and magnitudes near 2^31.
std::vector<int32_t> awkwardParameters(std::mt19937& random, int n) {
  const int32_t picks[] = {0, 0, 1, 2, 3, 8, -3, -7, 21, 27, 37, 46341, 65536, INT32_MAX, INT32_MAX - 1, -INT32_MAX};
  std::vector<int32_t> parameters;
  for (int i = 0; i < n; ++i) parameters.push_back(picks[random() % std::size(picks)]);
  return parameters;
}

TEST(ExactSearch, CollectsWhatExactArithmeticAccepts) {
#ifdef __SANITIZE_ADDRESS__
  const int largest = 5;
#else
  const int largest = 6;
#endif
  std::mt19937 random(17);
  expectExactPass({3, 3, 8, 8}, [] { Settings s; s.orderSwap = true; return s; }());
  for (int round = 0; round < 120; ++round) {
    const int n = 3 + round % (largest - 2);
    Settings settings;
    settings.orderSwap = n <= 4 && round % 2 == 0;
    settings.computerOperator = random() % 2;
    settings.allowNegative = random() % 2;
    settings.includesMulDiv = random() % 4 == 0;
    const int32_t maxima[] = {10, 100, 1000, INT32_MAX};
    settings.maxAbsValue = maxima[random() % 4];
    expectExactPass(awkwardParameters(random, n), settings);
  }
}

}  // namespace
