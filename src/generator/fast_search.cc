// The search pass computed with less work. Per ordering, only the first
// combination row of each grouping is evaluated; its values for every
// operator row come from its children's values, one double operation per
// value, in the same operand order as the step-by-step reduction, so every
// value is bit for bit the same. Texts are built only for values that pass
// the value tests, and duplicates are looked for only within the ordering,
// since texts of different orderings spell different value sequences.
#include "generator/reduction.h"
#include "generator/orderings.h"
#include "generator/search.h"

namespace generator {
namespace {

// Operator rows between two key polls inside one grouping.
constexpr int64_t kRowsPerPoll = 1 << 14;

class OrderingSearch {
 public:
  OrderingSearch(SearchContext& context, Candidates candidates, int32_t n)
      : context_(context), candidates_(candidates), n_(n),
        groupings_(context.tables.groupings), leafTexts_(static_cast<size_t>(n)),
        leafValues_(static_cast<size_t>(n)) {
    int64_t size = 0;
    for (const Grouping& tree : groupings_.trees) size = std::max(size, tree.bufferSize);
    buffer_.resize(static_cast<size_t>(size));
  }

  // Searches every combination row over one ordering of the values.
  void search(const std::vector<int32_t>& orderedValues) {
    candidates_.expressions.forgetPresentTexts();
    for (int32_t i = 0; i < n_; ++i) {
      leafTexts_[static_cast<size_t>(i)] = leafText(orderedValues[static_cast<size_t>(i)]);
      leafValues_[static_cast<size_t>(i)] = orderedValues[static_cast<size_t>(i)];
    }
    const int64_t rows = context_.tables.combinations.rows();
    for (int64_t o = 0; o < rows && !context_.stopRequested; ++o) {
      context_.monitor.writeMark(kSpinnerMarks[o % 4]);
      if (poll()) break;
      const int32_t tree = groupings_.firstRowOf[static_cast<size_t>(o)];
      if (tree >= 0) collect(groupings_.trees[static_cast<size_t>(tree)]);
    }
    context_.monitor.writeMark(kFinishMark);
  }

 private:
  bool poll() { return context_.stopRequested = context_.monitor.pollStopKey(); }

  int32_t operatorAt(int64_t operatorRow, int32_t gap) const {
    return static_cast<int32_t>((operatorRow >> (2 * (n_ - 2 - gap))) & 3);
  }

  const double* valuesOf(const Grouping& tree, int32_t node) const {
    if (node < n_) return &leafValues_[static_cast<size_t>(node)];
    return buffer_.data() + tree.steps[static_cast<size_t>(node - n_)].offset;
  }

  // Fills the values of every step of the tree for every operator choice
  // inside it; the root's values are indexed by operator row.
  void evaluate(const Grouping& tree) {
    for (const GroupingNode& step : tree.steps) {
      const double* left = valuesOf(tree, step.left);
      const double* right = valuesOf(tree, step.right);
      const int64_t leftCount = int64_t{1} << (2 * step.leftGaps);
      const int64_t rightCount = int64_t{1} << (2 * step.rightGaps);
      double* out = buffer_.data() + step.offset;
      for (int64_t l = 0; l < leftCount; ++l) {
        const double a = left[l];
        for (int32_t op = 0; op < 4; ++op) {
          for (int64_t r = 0; r < rightCount; ++r) out[r] = applyOperator(op, a, right[r]);
          out += rightCount;
        }
      }
    }
  }

  // Collects every acceptable new expression of one grouping, in operator row order.
  void collect(const Grouping& tree) {
    evaluate(tree);
    const Settings& settings = context_.settings;
    const double* values = valuesOf(tree, 2 * n_ - 2);
    const int64_t rows = context_.tables.operators.rows();
    for (int64_t p = 0; p < rows; ++p) {
      if (p % kRowsPerPoll == kRowsPerPoll - 1 && poll()) return;
      const double value = values[p];
      if (!isAcceptableValue(value, settings)) continue;
      if (settings.includesMulDiv && !groupings_.hasMulDiv[static_cast<size_t>(p)]) continue;
      text_.clear();
      render(tree, 2 * n_ - 2, p);
      if (candidates_.expressions.appendIfNew(text_)) {
        candidates_.answers.push_back(static_cast<int32_t>(value));
      }
    }
  }

  bool isSum(const Grouping& tree, int32_t node, int64_t operatorRow) const {
    return node >= n_ && operatorAt(operatorRow, tree.steps[static_cast<size_t>(node - n_)].gap) < Multiply;
  }

  void renderEnclosed(const Grouping& tree, int32_t node, int64_t operatorRow, bool enclose) {
    if (enclose) text_ += '(';
    render(tree, node, operatorRow);
    if (enclose) text_ += ')';
  }

  // Appends the text of a node, with the parentheses the reduction gives it.
  void render(const Grouping& tree, int32_t node, int64_t operatorRow) {
    if (node < n_) {
      text_ += leafTexts_[static_cast<size_t>(node)];
      return;
    }
    const GroupingNode& step = tree.steps[static_cast<size_t>(node - n_)];
    const int32_t op = operatorAt(operatorRow, step.gap);
    renderEnclosed(tree, step.left, operatorRow, enclosesLeft(op, isSum(tree, step.left, operatorRow)));
    text_ += glyph(op, context_.settings.computerOperator);
    const bool rightIsSum = isSum(tree, step.right, operatorRow);
    const bool rightIsMultiplicative = step.right >= n_ && !rightIsSum;
    renderEnclosed(tree, step.right, operatorRow,
                   enclosesRight(op, rightIsSum, rightIsMultiplicative));
  }

  SearchContext& context_;
  Candidates candidates_;
  int32_t n_;
  const Groupings& groupings_;
  std::vector<std::string> leafTexts_;
  std::vector<double> leafValues_;
  std::vector<double> buffer_;
  std::string text_;
};

}  // namespace

void runSearchPass(const std::vector<int32_t>& parameters, SearchContext& context,
                   Candidates candidates) {
  candidates.expressions.clear();
  candidates.answers.clear();
  OrderingSearch search(context, candidates, static_cast<int32_t>(parameters.size()));
  OrderingWalk walk(parameters, context.settings.orderSwap);
  std::vector<int32_t> orderedValues;
  while (!context.stopRequested && walk.next(orderedValues)) search.search(orderedValues);
}

}  // namespace generator
