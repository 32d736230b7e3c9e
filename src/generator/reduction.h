// Reduction of one ordering, combination row and operator row to one
// expression text (Shift_JIS bytes) and its double value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace generator {

enum OperatorCode : int32_t { Add = 0, Subtract = 1, Multiply = 2, Divide = 3 };

inline constexpr std::string_view kMultiplySign = "\x81\x7E";  // Shift_JIS ×
inline constexpr std::string_view kDivideSign = "\x81\x80";    // Shift_JIS ÷

// The bytes written for an operator.
std::string_view glyph(int32_t op, bool computerOperator);
// A parameter as it stands in an expression: negative values in parentheses.
std::string leafText(int32_t value);
// One double operation, exactly as a combining step performs it.
inline double applyOperator(int32_t op, double left, double right) {
  switch (op) {
    case Add: return left + right;
    case Subtract: return left - right;
    case Multiply: return left * right;
    default: return left / right;
  }
}
// Calls f with the function object of one double operation, so that a
// loop over many values has no branch on the operator.
template <typename F>
[[gnu::always_inline]] inline void withOperator(int64_t op, F&& f) {
  switch (op) {
    case Add: f(std::plus<double>()); break;
    case Subtract: f(std::minus<double>()); break;
    case Multiply: f(std::multiplies<double>()); break;
    default: f(std::divides<double>()); break;
  }
}
// Whether a combining step encloses its left or right operand, given
// whether that operand is a sum (of + or -) or a product (of × or ÷).
constexpr bool enclosesLeft(int32_t op, bool leftIsSum) {
  return (op == Multiply || op == Divide) && leftIsSum;
}
constexpr bool enclosesRight(int32_t op, bool rightIsSum, bool rightIsMultiplicative) {
  if (op == Add) return false;
  if (op == Divide) return rightIsSum || rightIsMultiplicative;
  return rightIsSum;
}

struct Term {
  std::string text;
  double value = 0;
  bool isSum = false;
  bool isMultiplicative = false;
};

// The storage a question's reductions reuse.
struct ReductionWork {
  explicit ReductionWork(int32_t n) : terms(static_cast<size_t>(n)), operators(static_cast<size_t>(n - 1)) {}
  std::vector<Term> terms;
  std::vector<int32_t> operators;
};

// Reduces the ordered values by the combination row and operator row,
// asking stopPoll() before every combining step. Returns false, with no
// result, when the poll says stop; otherwise the result is work.terms[0].
template <typename StopPoll>
bool reduceExpression(const std::vector<int32_t>& orderedValues, const int32_t* combinationRow,
                      const int32_t* operatorRow, bool computerOperator, ReductionWork& work,
                      StopPoll&& stopPoll);

// The reduction without a stop poll.
const Term& reduceExpression(const std::vector<int32_t>& orderedValues, const int32_t* combinationRow,
                             const int32_t* operatorRow, bool computerOperator, ReductionWork& work);

// --- implementation ---

void setUpReduction(const std::vector<int32_t>& orderedValues, const int32_t* operatorRow,
                    ReductionWork& work);
void combineTerms(int32_t pos, int32_t liveTerms, bool computerOperator, ReductionWork& work);

template <typename StopPoll>
bool reduceExpression(const std::vector<int32_t>& orderedValues, const int32_t* combinationRow,
                      const int32_t* operatorRow, bool computerOperator, ReductionWork& work,
                      StopPoll&& stopPoll) {
  setUpReduction(orderedValues, operatorRow, work);
  const auto n = static_cast<int32_t>(orderedValues.size());
  for (int32_t step = 0; step < n - 1; ++step) {
    if (stopPoll()) return false;
    combineTerms(combinationRow[step], n - step, computerOperator, work);
  }
  return true;
}

}  // namespace generator
