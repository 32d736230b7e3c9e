#include "generator/reduction.h"

namespace generator {

std::string_view glyph(int32_t op, bool computerOperator) {
  switch (op) {
    case Add: return "+";
    case Subtract: return "-";
    case Multiply: return computerOperator ? "*" : kMultiplySign;
    default: return computerOperator ? "/" : kDivideSign;
  }
}

std::string leafText(int32_t value) {
  std::string text = std::to_string(value);
  return value < 0 ? "(" + text + ")" : text;
}

void setUpReduction(const std::vector<int32_t>& orderedValues, const int32_t* operatorRow,
                    ReductionWork& work) {
  work.operators.assign(operatorRow, operatorRow + work.operators.size());
  for (size_t i = 0; i < orderedValues.size(); ++i) {
    Term& term = work.terms[i];
    term.text = leafText(orderedValues[i]);
    term.value = orderedValues[i];
    term.isSum = false;
    term.isMultiplicative = false;
  }
}

// One combining step: the terms at pos and pos + 1 become one term at pos.
void combineTerms(int32_t pos, int32_t liveTerms, bool computerOperator, ReductionWork& work) {
  auto& terms = work.terms;
  const int32_t op = work.operators[static_cast<size_t>(pos)];
  Term& left = terms[static_cast<size_t>(pos)];
  Term& right = terms[static_cast<size_t>(pos) + 1];
  if (enclosesLeft(op, left.isSum)) left.text = "(" + left.text + ")";
  if (enclosesRight(op, right.isSum, right.isMultiplicative)) right.text = "(" + right.text + ")";
  left.text += glyph(op, computerOperator);
  left.text += right.text;
  left.value = applyOperator(op, left.value, right.value);
  left.isSum = op == Add || op == Subtract;
  left.isMultiplicative = !left.isSum;
  for (int32_t slot = pos + 1; slot + 1 < liveTerms; ++slot) {
    std::swap(terms[static_cast<size_t>(slot)], terms[static_cast<size_t>(slot) + 1]);
  }
  for (int32_t k = pos; k + 2 < liveTerms; ++k) {
    work.operators[static_cast<size_t>(k)] = work.operators[static_cast<size_t>(k) + 1];
  }
}

const Term& reduceExpression(const std::vector<int32_t>& orderedValues, const int32_t* combinationRow,
                             const int32_t* operatorRow, bool computerOperator, ReductionWork& work) {
  reduceExpression(orderedValues, combinationRow, operatorRow, computerOperator, work,
                   [] { return false; });
  return work.terms[0];
}

}  // namespace generator
