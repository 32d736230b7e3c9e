#include "generator/twins.h"

#include <vector>

#include "generator/reduction.h"

namespace generator {
namespace {

bool isSum(int32_t op) { return op == Add || op == Subtract; }

// What is called with each bracketing's tree key and value; true stops.
class Visit {
 public:
  template <typename F>
  Visit(F& f)  // NOLINT: made from any callable in place
      : object_(&f), call_([](void* o, uint64_t key, double value) { return (*static_cast<F*>(o))(key, value); }) {}
  bool operator()(uint64_t key, double value) const { return call_(object_, key, value); }

 private:
  void* object_;
  bool (*call_)(void*, uint64_t, double);
};

// One grouping's expression for one operator row, split into chains, and
// every other bracketing of those chains that writes the same text.
class TwinSearch {
 public:
  TwinSearch(const Grouping& grouping, int64_t operatorRow, const double* leafValues)
      : n_(static_cast<int32_t>(grouping.steps.size()) + 1), grouping_(grouping), leafValues_(leafValues) {
    for (const GroupingNode& step : grouping.steps) {
      ops_.push_back(static_cast<int32_t>((operatorRow >> (2 * (n_ - 2 - step.gap))) & 3));
    }
  }

  // Calls found(key, value) for each bracketing of the whole expression
  // that writes its text, until found returns true; true when it did.
  bool forEachTwin(Visit found) { return forEachOf(2 * n_ - 2, found); }

 private:
  struct Chain {
    std::vector<int32_t> operands;  // nodes, in text order
    std::vector<int32_t> ops;       // ops[i] stands between operands i and i + 1
  };

  bool isStep(int32_t node) const { return node >= n_; }
  const GroupingNode& step(int32_t node) const { return grouping_.steps[static_cast<size_t>(node - n_)]; }
  int32_t op(int32_t node) const { return ops_[static_cast<size_t>(node - n_)]; }
  int32_t first(int32_t node) const { return isStep(node) ? step(node).first : node; }
  int32_t last(int32_t node) const { return isStep(node) ? step(node).last : node; }

  // Adds node to the chain of its kind: a step of that kind that is
  // written without parentheses joins the chain; anything else is an operand.
  void gather(int32_t node, bool sum, bool joins, Chain& chain) const {
    if (!isStep(node) || !joins || isSum(op(node)) != sum) {
      chain.operands.push_back(node);
      return;
    }
    gather(step(node).left, sum, true, chain);
    chain.ops.push_back(op(node));
    gather(step(node).right, sum, op(node) == Add || op(node) == Multiply, chain);
  }

  // Every bracketing of a node's expression that writes its text.
  bool forEachOf(int32_t node, Visit found) {
    if (!isStep(node)) return found(uint64_t{0}, leafValues_[node]);
    Chain chain;
    gather(node, isSum(op(node)), true, chain);
    return forEachBracketing(chain, 0, static_cast<int32_t>(chain.operands.size()) - 1, found);
  }

  // Every bracketing of operands i..j of the chain: the last operator
  // applied splits it, and a bracket on its right is dropped only after a
  // + or a ×.
  bool forEachBracketing(const Chain& chain, int32_t i, int32_t j, Visit found) {
    if (i == j) return forEachOf(chain.operands[static_cast<size_t>(i)], found);
    const int32_t a = first(chain.operands[static_cast<size_t>(i)]);
    const int32_t b = last(chain.operands[static_cast<size_t>(j)]);
    for (int32_t k = j; k > i; --k) {
      const int32_t splitOp = chain.ops[static_cast<size_t>(k - 1)];
      if (k < j && splitOp != Add && splitOp != Multiply) continue;
      const int32_t gap = last(chain.operands[static_cast<size_t>(k - 1)]);
      const int32_t rightSteps = b - gap - 1;
      auto withLeft = [&](uint64_t leftKey, double leftValue) {
        auto withRight = [&](uint64_t rightKey, double rightValue) {
          const uint64_t key = (static_cast<uint64_t>(gap) << (4 * (b - a - 1))) |
                               (leftKey << (4 * rightSteps)) | rightKey;
          return found(key, applyOperator(splitOp, leftValue, rightValue));
        };
        return forEachBracketing(chain, k, j, withRight);
      };
      if (forEachBracketing(chain, i, k - 1, withLeft)) return true;
    }
    return false;
  }

  int32_t n_;
  const Grouping& grouping_;
  const double* leafValues_;
  std::vector<int32_t> ops_;
};

}  // namespace

bool earlierTwinAccepted(const Grouping& grouping, int64_t firstRow, int64_t operatorRow,
                         const double* leafValues, const AcceptedValues& accepted, const FirstRowFinder& rows,
                         Arithmetic arithmetic) {
  TwinSearch search(grouping, operatorRow, leafValues);
  auto earlierAccepted = [&](uint64_t key, double value) {
    const int64_t row = rows.firstRowOf(key);
    return row >= 0 && row < firstRow && (arithmetic == Arithmetic::Exact || accepted.accepts(value));
  };
  return search.forEachTwin(earlierAccepted);
}

}  // namespace generator
