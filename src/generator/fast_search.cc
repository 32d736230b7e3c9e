// The search pass computed with less work, with the same results as the
// step-by-step reduction:
// - Per ordering, only the first combination row of each grouping is
//   evaluated; later rows of a grouping repeat its texts and values.
// - A grouping's values for every operator row come from its children's
//   values, one double operation each, in the same operand order as the
//   reduction, so every value is bit for bit the same.
// - No text is built during the search: an expression that passes the value
//   tests and is new is kept as its grouping and operator row, rendered
//   when shown. Two expressions of one ordering and operator row have the
//   same text exactly when they put the same parentheses before and after
//   each value, so a count of those stands for the text. Texts of different
//   orderings spell different value sequences and never meet.
#include "generator/fast_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <map>
#include <mutex>

#include "generator/exact.h"
#include "generator/orderings.h"
#include "generator/parallel_pass.h"
#include "generator/reduction.h"
#include "generator/reference_search.h"
#include "generator/root_marks.h"
#include "generator/twins.h"

namespace generator {
namespace {

// The value and bound of a division by exactly zero.
constexpr double kDividesByZero = std::numeric_limits<double>::quiet_NaN();
// Products of two 64-bit numbers.
__extension__ typedef __int128 Wide;
// Operator rows between two stop polls inside one grouping.
constexpr int64_t kRowsPerPoll = int64_t{1} << 14;
// Texts of one ordering remembered for the duplicate test (16 MB of
// slots); past them, twins are worked out again.
constexpr size_t kRememberedTexts = size_t{1} << 19;
// The most groupings times operator rows whose shared texts are tabled
// (2 MB; 7 numbers need 540,672).
constexpr int64_t kLargestSharedTextTable = int64_t{1} << 20;

// The parentheses of an expression, as one number. An enclosed part spans
// at least two values and enclosed parts nest, so no value position begins
// one part and ends another: each has only opening parentheses before it or
// only closing ones after it. v_i, the opening count less the closing count
// at position i, lies within -(n - 2)..n - 2, so the sum of v_i * (2n - 3)^i
// tells every pattern apart while (2n - 3)^n fits 64 bits, for n <= 13.
using ParenthesesKey = uint64_t;
constexpr int32_t kLargestKeyedCount = 13;

// The parentheses keys met in one ordering, each with its operator row:
// open addressing, emptied per ordering by a new generation number.
class KeySet {
 public:
  // Adds the key; true when it was not yet present.
  bool insert(ParenthesesKey key, int64_t operatorRow) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    const auto row = static_cast<uint32_t>(operatorRow);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash(key, row) & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.generation != generation_) {
        slot = {key, row, generation_};
        ++count_;
        return true;
      }
      if (slot.key == key && slot.operatorRow == row) return false;
    }
  }
  void clear() {
    ++generation_;
    count_ = 0;
  }
  size_t size() const { return count_; }

 private:
  struct Slot {
    ParenthesesKey key;
    uint32_t operatorRow;
    uint32_t generation = 0;
  };

  static size_t hash(ParenthesesKey key, uint32_t operatorRow) {
    const uint64_t h = (key ^ (uint64_t{operatorRow} << 32 | operatorRow)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<size_t>(h ^ (h >> 32));
  }

  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<size_t>(64, old.size() * 2), Slot{});
    const uint32_t live = generation_;
    ++generation_;
    count_ = 0;
    for (const Slot& slot : old) {
      if (slot.generation == live) insert(slot.key, slot.operatorRow);
    }
  }

  std::vector<Slot> slots_;
  uint32_t generation_ = 1;
  size_t count_ = 0;
};

// A grouping's steps prepared for reading operators out of an operator
// row: operator g of row p is (p >> (2 * (n - 2 - g))) & 3.
struct PreparedStep {
  int32_t left;
  int32_t right;
  int32_t opShift;
  int32_t leftOpShift;   // -1 when the left child is a value
  int32_t rightOpShift;  // -1 when the right child is a value
  // What enclosing each child adds to the parentheses key.
  ParenthesesKey leftEnclosed;
  ParenthesesKey rightEnclosed;
};

// The enclosing rules as bit tables, bit 4 * op + the child's operator set
// when a step with that operator encloses a child step with that operator.
constexpr uint32_t enclosureTable(bool left) {
  uint32_t bits = 0;
  for (int32_t op = 0; op < 4; ++op) {
    for (int32_t child = 0; child < 4; ++child) {
      const bool sum = child < Multiply;
      if (left ? enclosesLeft(op, sum) : enclosesRight(op, sum, !sum)) bits |= 1u << (4 * op + child);
    }
  }
  return bits;
}
constexpr uint32_t kLeftEncloses = enclosureTable(true);
constexpr uint32_t kRightEncloses = enclosureTable(false);

// 1 when a step encloses a child step for this operator row, else 0.
// Shifts of -1 (a value child) read a harmless bit; callers rule values out.
inline uint64_t encloses(uint32_t table, uint64_t operatorRow, int32_t opShift, int32_t childShift) {
  const uint64_t index = ((operatorRow >> opShift) & 3) << 2 | ((operatorRow >> (childShift & 63)) & 3);
  return (table >> index) & 1;
}

// A grouping with its steps prepared for the hot loop and the renderer.
class PreparedGrouping {
 public:
  PreparedGrouping(int32_t n, int64_t row) : n_(n), row_(row), grouping_(groupingOfRow(n, row)) {
    for (const GroupingNode& node : grouping_.steps) steps_.push_back(prepare(node));
  }

  int64_t row() const { return row_; }
  const Grouping& grouping() const { return grouping_; }
  const std::vector<PreparedStep>& steps() const { return steps_; }

  // The parentheses key of the grouping's expression for an operator row.
  ParenthesesKey parenthesesOf(int64_t operatorRow) const {
    const auto row = static_cast<uint64_t>(operatorRow);
    ParenthesesKey key = 0;
    // A value child's part is 0, so it needs no test here.
    for (const PreparedStep& step : steps_) {
      key += step.leftEnclosed * encloses(kLeftEncloses, row, step.opShift, step.leftOpShift);
      key += step.rightEnclosed * encloses(kRightEncloses, row, step.opShift, step.rightOpShift);
    }
    return key;
  }

 private:
  PreparedStep prepare(const GroupingNode& node) const {
    auto opShift = [&](int32_t child) {
      return child < n_ ? -1 : 2 * (n_ - 2 - grouping_.steps[static_cast<size_t>(child - n_)].gap);
    };
    // A value is never enclosed; an enclosed step adds +1 at its first
    // position and -1 at its last.
    auto enclosed = [&](int32_t child) -> ParenthesesKey {
      if (child < n_) return 0;
      const GroupingNode& c = grouping_.steps[static_cast<size_t>(child - n_)];
      return positionWeight(c.first) - positionWeight(c.last);
    };
    return {node.left,        node.right,      2 * (n_ - 2 - node.gap), opShift(node.left),
            opShift(node.right), enclosed(node.left), enclosed(node.right)};
  }

  ParenthesesKey positionWeight(int32_t position) const {
    ParenthesesKey weight = 1;
    for (int32_t i = 0; i < position; ++i) weight *= static_cast<ParenthesesKey>(2 * n_ - 3);
    return weight;
  }

  int32_t n_;
  int64_t row_;
  Grouping grouping_;
  std::vector<PreparedStep> steps_;
};

// The groupings of a count of values in walk order, and which of them
// write the same text for each operator row. That follows from the
// groupings and the row alone, so it is worked out once: each text that
// more than one grouping writes gets a bit, which says within an ordering
// whether the text was collected; a text that only one grouping writes
// needs none. No text is hashed.
class SharedTexts {
 public:
  // Where a grouping and row's text has its bit, or kAlone.
  using Place = uint32_t;
  static constexpr Place kAlone = ~Place{0};

  explicit SharedTexts(const Tables& tables) : rows_(static_cast<size_t>(tables.operatorRows)) {
    FirstRowFinder walk(tables.n);
    for (int64_t o = 0; o < tables.combinationRows; ++o) {
      if (walk.isFirstRow(o)) groupings_.emplace_back(tables.n, o);
    }
    places_.resize(groupings_.size() * rows_);
    std::vector<std::pair<ParenthesesKey, size_t>> keys(groupings_.size());
    for (size_t p = 0; p < rows_; ++p) {
      for (size_t g = 0; g < keys.size(); ++g) keys[g] = {groupings_[g].parenthesesOf(static_cast<int64_t>(p)), g};
      std::sort(keys.begin(), keys.end());
      for (size_t k = 0; k < keys.size(); ++k) {
        const bool twinBefore = k > 0 && keys[k].first == keys[k - 1].first;
        const bool twinAfter = k + 1 < keys.size() && keys[k].first == keys[k + 1].first;
        if (twinAfter && !twinBefore) ++bits_;
        places_[keys[k].second * rows_ + p] = twinBefore || twinAfter ? bits_ - 1 : kAlone;
      }
    }
  }

  const PreparedGrouping& grouping(size_t walk) const { return groupings_[walk]; }
  // The places of a grouping's texts, by operator row.
  const Place* placesOf(size_t walk) const { return &places_[walk * rows_]; }
  // The words of the bits an ordering needs.
  size_t words() const { return bits_ / 64 + 1; }

  // Whether the text at this place was not yet collected; from now on it
  // has been.
  static bool collectsNewText(Place place, uint64_t* collected) {
    if (place == kAlone) return true;  // the most, and well predicted
    const uint64_t mask = uint64_t{1} << (place % 64);
    const uint64_t word = collected[place / 64];
    collected[place / 64] = word | mask;
    return (word & mask) == 0;
  }

 private:
  size_t rows_;
  std::vector<PreparedGrouping> groupings_;
  std::vector<Place> places_;  // per grouping and row
  uint32_t bits_ = 0;
};

// The groupings and shared texts of a count of values, made once for the
// process: a few megabytes for the counts where they are tabled.
const SharedTexts& sharedTextsOf(const Tables& tables) {
  static std::mutex mutex;
  static std::map<int32_t, std::unique_ptr<const SharedTexts>> made;
  const std::lock_guard<std::mutex> lock(mutex);
  auto& texts = made[tables.n];
  if (!texts) texts = std::make_unique<const SharedTexts>(tables);
  return *texts;
}

// The number of groupings of n values, Catalan(n - 1).
int64_t groupingCount(int32_t n) {
  int64_t count = 1;
  for (int64_t i = 0; i < n - 1; ++i) count = count * 2 * (2 * i + 1) / (i + 2);
  return count;
}

// Renders the texts of a pass's described expressions: a description is
// the first combination row of the expression's grouping and its operator
// row. It keeps the values of each searched ordering (n numbers an
// ordering, however many expressions it collects) and the grouping last
// rendered, as expressions come grouping by grouping.
class GroupingRenderer final : public ExpressionRenderer {
 public:
  GroupingRenderer(int32_t n, bool computerOperator) : n_(n), computerOperator_(computerOperator) {}

  // Records the values of the pass's next ordering.
  void addOrdering(const std::vector<int32_t>& orderedValues) {
    orderingValues_.insert(orderingValues_.end(), orderedValues.begin(), orderedValues.end());
  }

  static uint64_t describe(int64_t combinationRow, int64_t operatorRow) {
    return static_cast<uint64_t>(combinationRow) << 32 | static_cast<uint32_t>(operatorRow);
  }

  std::string render(const CollectedExpression& expression) const override {
    const auto row = static_cast<int64_t>(expression.description >> 32);
    if (!last_ || last_->row() != row) last_ = std::make_unique<PreparedGrouping>(n_, row);
    std::string text;
    renderNode(last_->steps(), &orderingValues_[expression.ordering * static_cast<size_t>(n_)], 2 * n_ - 2,
               static_cast<int64_t>(expression.description & 0xFFFFFFFFu), text);
    return text;
  }

 private:
  void renderNode(const std::vector<PreparedStep>& steps, const int32_t* values, int32_t node,
                  int64_t operatorRow, std::string& text) const {
    if (node < n_) {
      text += leafText(values[node]);
      return;
    }
    const PreparedStep& step = steps[static_cast<size_t>(node - n_)];
    const auto row = static_cast<uint64_t>(operatorRow);
    const bool left = step.left >= n_ && encloses(kLeftEncloses, row, step.opShift, step.leftOpShift);
    const bool right = step.right >= n_ && encloses(kRightEncloses, row, step.opShift, step.rightOpShift);
    if (left) text += '(';
    renderNode(steps, values, step.left, operatorRow, text);
    if (left) text += ')';
    text += glyph(static_cast<int32_t>((operatorRow >> step.opShift) & 3), computerOperator_);
    if (right) text += '(';
    renderNode(steps, values, step.right, operatorRow, text);
    if (right) text += ')';
  }

  int32_t n_;
  bool computerOperator_;
  std::vector<int32_t> orderingValues_;
  mutable std::unique_ptr<PreparedGrouping> last_;
};

// How a pass tells whether an earlier grouping of the ordering wrote a text.
enum class DuplicateTest {
  Tabled,      // a table of shared texts where it is small, else as Remembered
  Remembered,  // remembered texts while few, then Derived
  Derived,     // the earlier groupings that write it worked out each time
};

// Reduces an ordering one grouping at a time: only the first combination
// row of each grouping is evaluated, for every operator row at once. The
// values of the grouping's inner steps are kept whole; its root's, the
// most, are tested a block of operator rows at a time, and only those that
// pass are made again to be collected.
class GroupingReducer final : public OrderingReducer {
 public:
  // The renderer, when given, is told of each ordering the reducer begins.
  GroupingReducer(const SearchContext& context, Collector& collector, int32_t n, DuplicateTest test,
                  std::shared_ptr<GroupingRenderer> renderer)
      : context_(context), collector_(collector), n_(n),
        rememberedTexts_(test == DuplicateTest::Derived ? 0 : kRememberedTexts), firstRows_(n),
        accepted_(context.settings), exact_(context.arithmetic == Arithmetic::Exact),
        leafValues_(static_cast<size_t>(n)), leafErrors_(static_cast<size_t>(n)),
        marks_(static_cast<size_t>(blockRows(context) + 63) / 64), freshRows_(static_cast<size_t>(blockRows(context))),
        found_(freshRows_.size()), rootValues_(freshRows_.size()),
        renderer_(std::move(renderer)) {
    const int64_t rows = context.tables.operatorRows;
    if (context.settings.includesMulDiv) {
      // Multiply and Divide are the operator codes with their high bit set.
      for (int64_t p = 0; p < rows; ++p) {
        if (p % 64 == 0) rowsWithMulDiv_.push_back(0);
        if (static_cast<uint64_t>(p) & 0xAAAAAAAAAAAAAAAAULL) rowsWithMulDiv_.back() |= uint64_t{1} << (p % 64);
      }
    }
    if (test == DuplicateTest::Tabled && groupingCount(n) * rows <= kLargestSharedTextTable) {
      shared_ = &sharedTextsOf(context.tables);
      collected_.resize(shared_->words());
    }
  }

  std::shared_ptr<const ExpressionRenderer> renderer() const override { return renderer_; }

  void beginOrdering(const std::vector<int32_t>& orderedValues, uint64_t ordering) override {
    seen_.clear();
    std::fill(collected_.begin(), collected_.end(), 0);
    walkIndex_ = 0;
    ordering_ = ordering;
    if (renderer_) renderer_->addOrdering(orderedValues);
    for (size_t i = 0; i < orderedValues.size(); ++i) leafValues_[i] = orderedValues[i];
  }

  bool reduceRow(int64_t o) override {
    if (context_.monitor.shouldStop()) return false;
    if (!firstRows_.isFirstRow(o)) return true;
    const size_t walk = walkIndex_++;
    return shared_ ? collect(shared_->grouping(walk), walk) : collect(PreparedGrouping(n_, o), walk);
  }

 private:
  // Operator rows tested at a time: at most one block between stop polls.
  static int64_t blockRows(const SearchContext& context) {
    return std::min(context.tables.operatorRows, kRowsPerPoll);
  }

  const double* valuesOf(const Grouping& tree, int32_t node) const {
    if (node < n_) return &leafValues_[static_cast<size_t>(node)];
    return buffer_.data() + tree.steps[static_cast<size_t>(node - n_)].offset;
  }
  const double* errorsOf(const Grouping& tree, int32_t node) const {
    if (node < n_) return &leafErrors_[static_cast<size_t>(node)];
    return errors_.data() + tree.steps[static_cast<size_t>(node - n_)].offset;
  }

  // Fills the values of every inner step of the tree for every operator
  // choice inside it.
  void evaluate(const Grouping& tree) {
    buffer_.resize(std::max(buffer_.size(), static_cast<size_t>(tree.bufferSize)));
    for (size_t i = 0; i + 1 < tree.steps.size(); ++i) {
      const GroupingNode& node = tree.steps[i];
      const double* left = valuesOf(tree, node.left);
      const double* right = valuesOf(tree, node.right);
      const int64_t leftCount = int64_t{1} << (2 * node.leftGaps);
      const int64_t count = int64_t{1} << (2 * node.rightGaps);
      double* out = buffer_.data() + node.offset;
      for (int64_t l = 0; l < leftCount; ++l, out += 4 * count) combine(left[l], right, count, out);
    }
  }

  // With exact arithmetic: the values of the inner steps as evaluate
  // makes them, and their error bounds. A whole quotient of exact whole
  // numbers is exact; a division by exactly zero is a NaN.
  void evaluateWithErrors(const Grouping& tree) {
    evaluate(tree);
    errors_.resize(buffer_.size());
    fractions_.resize(buffer_.size());
    exactness_.resize(buffer_.size());
    fractionStamps_.resize(buffer_.size());
    ++stamp_;
    for (size_t i = 0; i + 1 < tree.steps.size(); ++i) {
      const GroupingNode& node = tree.steps[i];
      const double* left = valuesOf(tree, node.left);
      const double* leftErrors = errorsOf(tree, node.left);
      const double* right = valuesOf(tree, node.right);
      const double* rightErrors = errorsOf(tree, node.right);
      const int64_t count = int64_t{1} << (2 * node.rightGaps);
      const int64_t lefts = int64_t{1} << (2 * node.leftGaps);
      double* values = buffer_.data() + node.offset;
      double* errors = errors_.data() + node.offset;
      for (int64_t l = 0; l < lefts; ++l) {
        for (int64_t op = 0; op < 4; ++op, values += count, errors += count) {
          // Without branches, so that the loop uses vector units.
          for (int64_t r = 0; r < count; ++r) {
            const double a = left[l], b = right[r], value = values[r];
            const double bound = errorBound(op, a, leftErrors[l], b, rightErrors[r], value);
            const bool exactOperands = leftErrors[l] == 0 && rightErrors[r] == 0;
            errors[r] = exactOperands && isExactWhole(op, a, b, value) ? 0 : bound;
            values[r] = bound >= kUntrusted ? 0 : value;
            if (op == Divide && exactOperands && b == 0) values[r] = errors[r] = kDividesByZero;
          }
        }
      }
    }
  }

  // Whether value = a op b of exact whole numbers is exact and whole: a
  // sum, difference or product below 2^53 in magnitude, or a quotient q with
  // q b = a, a product that doubles then compute exactly.
  static bool isExactWhole(int64_t op, double a, double b, double value) {
    const double magnitude = value < 0 ? -value : value;
    if (op != Divide) return magnitude < 0x1p53;
    return nearestWhole(value) == value && value * b == a && b != 0;
  }

  // How far the root's values may be from their exact values, for each
  // operator: from the largest magnitudes and error bounds of the operands
  // that have a bound, as errorBound would give for the worst of them.
  void prepareTolerances(const double* left, int64_t lefts, const double* right, int64_t rights) {
    constexpr double kRounding = 0x1p-53 * (1 + 0x1p-50);
    constexpr double kWiden = 1 + 0x1p-40;
    untrustedLefts_.clear();
    untrustedRights_.clear();
    shakyDivisors_.clear();
    double maxA = 0, maxEA = 0, maxB = 0, maxEB = 0, maxShare = 0, maxGap = 0, maxInverse = 0;
    for (int64_t l = 0; l < lefts; ++l) {
      const double a = std::fabs(left[l]), ea = leftErrors_[l];
      if (!(ea < kUntrusted)) {
        if (ea == ea) untrustedLefts_.push_back(l);  // a NaN divides by zero: never accepted
        continue;
      }
      maxA = std::max(maxA, a), maxEA = std::max(maxEA, ea);
    }
    for (int64_t r = 0; r < rights; ++r) {
      const double b = std::fabs(right[r]), eb = rightErrors_[r];
      if (!(eb < kUntrusted)) {
        if (eb == eb) untrustedRights_.push_back(r);
        continue;
      }
      maxB = std::max(maxB, b), maxEB = std::max(maxEB, eb);
      if (!(b > eb)) {
        shakyDivisors_.push_back(r);
        continue;
      }
      maxShare = std::max(maxShare, eb / (b * (b - eb)));
      maxGap = std::max(maxGap, 1 / (b - eb));
      maxInverse = std::max(maxInverse, 1 / b);
    }
    const double sum = (maxEA + maxEB + (maxA + maxB) * kRounding) * kWiden;
    tolerances_[Add] = tolerances_[Subtract] = sum;
    tolerances_[Multiply] = (maxA * maxEB + maxB * maxEA + maxEA * maxEB + maxA * maxB * kRounding) * kWiden;
    tolerances_[Divide] = (maxA * maxShare + maxEA * maxGap + maxA * maxInverse * kRounding) * kWiden;
  }

  // Marks the rows of [begin, end) whose operands have no bound, or whose
  // divisor's bound includes zero, for the exact judgement.
  void markUntrustedRows(const RootStep& root, int64_t begin, int64_t end) {
    auto mark = [&](int64_t p) {
      if (p >= begin && p < end) marks_[static_cast<size_t>((p - begin) / 64)] |= uint64_t{1} << ((p - begin) % 64);
    };
    const int64_t count = root.count();
    for (const int64_t l : untrustedLefts_) {
      for (int64_t p = std::max(begin, l * 4 * count); p < std::min(end, (l + 1) * 4 * count); ++p) mark(p);
    }
    if (untrustedRights_.empty() && shakyDivisors_.empty()) return;
    // Only the left values whose rows meet the block.
    for (int64_t l = begin / (4 * count); l <= (end - 1) / (4 * count); ++l) {
      for (int64_t op = 0; op < 4; ++op) {
        for (const int64_t r : untrustedRights_) mark((4 * l + op) * count + r);
      }
      for (const int64_t r : shakyDivisors_) mark((4 * l + Divide) * count + r);
    }
  }

  // With exact arithmetic, keeps of the marked rows of [begin, end) those
  // whose value is exactly a whole number in range, and puts that number
  // in their value's place.
  void judgeExactly(const RootStep& root, const PreparedGrouping& prepared, int64_t begin, int64_t end) {
    for (int64_t w = 0; w < (end - begin + 63) / 64; ++w) {
      uint64_t& word = marks_[static_cast<size_t>(w)];
      for (uint64_t bits = word & candidateRows(begin / 64 + w) & ~settledRows(root, begin + 64 * w); bits != 0;
           bits &= bits - 1) {
        const int64_t p = begin + 64 * w + std::countr_zero(bits);
        double& value = rootValues_[static_cast<size_t>(root.slotOf(p, begin, end))];
        const std::optional<double> exact = exactValueOf(root, prepared, p, value);
        if (exact) {
          value = *exact;
        } else {
          word &= ~(uint64_t{1} << (p - begin - 64 * w));
        }
      }
    }
  }

  // Of the 64 rows from `first`, those that the marks settle: sums,
  // differences and products of exact whole numbers are exact, and where
  // the tolerance is below 1 a marked one is a whole number in range. Only
  // where a run of 64 rows shares its left value and operator; else none.
  uint64_t settledRows(const RootStep& root, int64_t first) const {
    const int64_t op = (first >> root.countShift) & 3;
    if (root.countShift < 6 || op == Divide || !(tolerances_[op] < 1)) return 0;
    if (leftErrors_[first >> (root.countShift + 2)] != 0) return 0;
    return exactRights_[static_cast<size_t>((first & (root.count() - 1)) / 64)];
  }

  // The exact value of row p, if a whole number in range: from the
  // operands where they are exact whole numbers, else from their fractions.
  std::optional<double> exactValueOf(const RootStep& root, const PreparedGrouping& prepared, int64_t p,
                                     double value) {
    const int64_t l = p >> (root.countShift + 2), r = p & (root.count() - 1);
    const auto op = static_cast<int32_t>((p >> root.countShift) & 3);
    if (leftErrors_[l] != 0 || rightErrors_[r] != 0) return valueFromFractions(prepared.grouping(), p, op, l, r, value);
    // Sums, differences and products of exact whole numbers are exact.
    if (op == Divide && !isExactWhole(op, root.left[l], root.right[r], value)) return std::nullopt;
    if (!accepted_.accepts(value)) return std::nullopt;
    return value;
  }

  // The exact value of row p from its operands' fractions, where they fit
  // 64 bits, else from GMP's rationals, if a whole number in range.
  std::optional<double> valueFromFractions(const Grouping& tree, int64_t p, int32_t op, int64_t l, int64_t r,
                                           double value) {
    const GroupingNode& top = tree.steps.back();
    Fraction a{}, b{};
    const Exactness left = bigRationalsOnly() ? Exactness::TooLarge : fractionOf(tree, top.left, l, a);
    const Exactness right = left == Exactness::TooLarge ? left : fractionOf(tree, top.right, r, b);
    if (left == Exactness::DividesByZero || right == Exactness::DividesByZero) return std::nullopt;
    if (left == Exactness::Known && right == Exactness::Known) {
      if (op == Divide && b.num == 0) return std::nullopt;
      if (const std::optional<bool> near = isWholeNear(op, a, b, value, l, r)) {
        return *near ? std::optional<double>(nearestWhole(value)) : std::nullopt;
      }
      if (const std::optional<Fraction> result = combineFractions(op, a, b)) {
        if (result->den != 1 || result->num < accepted_.low || result->num > accepted_.high) return std::nullopt;
        return static_cast<double>(result->num);
      }
    }
    const auto low = static_cast<int32_t>(accepted_.low), high = static_cast<int32_t>(accepted_.high);
    const std::optional<int32_t> whole = exactWholeValue(tree, p, leafValues_.data(), low, high);
    return whole ? std::optional<double>(*whole) : std::nullopt;
  }

  // Whether a op b is exactly the whole number nearest value, in range,
  // where that number is the only one within the tolerance: told by
  // cross-multiplying in 128 bits, without reducing a fraction. Nothing
  // where the tolerance does not single it out or a product overflows.
  std::optional<bool> isWholeNear(int64_t op, Fraction a, Fraction b, double value, int64_t l, int64_t r) const {
    const double eb = rightErrors_[r];
    const bool bounded = leftErrors_[l] < kUntrusted && eb < kUntrusted;
    if (!bounded || !(tolerances_[op] < 0.5) || (op == Divide && !(std::fabs(rightValues_[r]) > eb))) {
      return std::nullopt;
    }
    const double nearest = nearestWhole(value);
    if (!accepted_.accepts(nearest)) return false;
    const auto k = static_cast<Wide>(nearest);
    Wide lhs = 0, rhs = 0, x = 0, y = 0;
    bool overflow = false;
    switch (op) {
      case Add:
      case Subtract:  // p/q ± r/s = k  <=>  p s ± r q = k q s
        overflow = __builtin_mul_overflow(static_cast<Wide>(a.num), b.den, &x) ||
                   __builtin_mul_overflow(static_cast<Wide>(b.num), a.den, &y) ||
                   (op == Add ? __builtin_add_overflow(x, y, &lhs) : __builtin_sub_overflow(x, y, &lhs)) ||
                   __builtin_mul_overflow(static_cast<Wide>(a.den), b.den, &x) || __builtin_mul_overflow(k, x, &rhs);
        break;
      case Multiply:  // p/q × r/s = k  <=>  p r = k q s
        overflow = __builtin_mul_overflow(static_cast<Wide>(a.num), b.num, &lhs) ||
                   __builtin_mul_overflow(static_cast<Wide>(a.den), b.den, &x) || __builtin_mul_overflow(k, x, &rhs);
        break;
      default:  // p/q ÷ r/s = k  <=>  p s = k q r
        overflow = __builtin_mul_overflow(static_cast<Wide>(a.num), b.den, &lhs) ||
                   __builtin_mul_overflow(static_cast<Wide>(a.den), b.num, &x) || __builtin_mul_overflow(k, x, &rhs);
        break;
    }
    if (overflow) return std::nullopt;
    return lhs == rhs;
  }

  enum class Exactness : uint8_t { Known, DividesByZero, TooLarge };

  // The exact value of value `index` of a node of the tree as a fraction,
  // worked out once per grouping and kept.
  Exactness fractionOf(const Grouping& tree, int32_t node, int64_t index, Fraction& fraction) {
    const double error = errorsOf(tree, node)[index];
    if (error == 0) {
      fraction = {static_cast<int64_t>(valuesOf(tree, node)[index]), 1};
      return Exactness::Known;
    }
    if (error != error) return Exactness::DividesByZero;  // a NaN
    const GroupingNode& step = tree.steps[static_cast<size_t>(node - n_)];
    const auto slot = static_cast<size_t>(step.offset + index);
    if (fractionStamps_[slot] != stamp_) {
      fractionStamps_[slot] = stamp_;
      exactness_[slot] = combineExactly(tree, step, index, fractions_[slot]);
    }
    fraction = fractions_[slot];
    return exactness_[slot];
  }

  Exactness combineExactly(const Grouping& tree, const GroupingNode& step, int64_t index, Fraction& fraction) {
    const int32_t countShift = 2 * step.rightGaps;
    const int64_t op = (index >> countShift) & 3;
    Fraction a{}, b{};
    const Exactness left = fractionOf(tree, step.left, index >> (countShift + 2), a);
    if (left != Exactness::Known) return left;
    const Exactness right = fractionOf(tree, step.right, index & ((int64_t{1} << countShift) - 1), b);
    if (right != Exactness::Known) return right;
    if (op == Divide && b.num == 0) return Exactness::DividesByZero;
    const std::optional<Fraction> result = combineFractions(op, a, b);
    if (!result) return Exactness::TooLarge;
    fraction = *result;
    return Exactness::Known;
  }

  // The four operators between a and each right value, in operator order.
  static void combine(double a, const double* right, int64_t count, double* out) {
    if (count == 1) {
      for (int32_t op = 0; op < 4; ++op) out[op] = applyOperator(op, a, right[0]);
      return;
    }
    for (int32_t op = 0; op < 4; ++op) {
      withOperator(op, [&](auto apply) {
        for (int64_t i = 0; i < count; ++i) out[op * count + i] = apply(a, right[i]);
      });
    }
  }

  // The operator rows that can collect: all, or those with a × or ÷.
  uint64_t candidateRows(int64_t word) const {
    return rowsWithMulDiv_.empty() ? ~uint64_t{0} : rowsWithMulDiv_[static_cast<size_t>(word)];
  }

  // Collects every acceptable new expression of one grouping, the walk's
  // grouping number `walk`, in operator row order; false when the monitor
  // stopped the search.
  bool collect(const PreparedGrouping& prepared, size_t walk) {
    const Grouping& tree = prepared.grouping();
    const GroupingNode& top = tree.steps.back();
    RootStep root{nullptr, nullptr, 2 * top.rightGaps};
    if (exact_) {
      evaluateWithErrors(tree);
      leftErrors_ = errorsOf(tree, top.left);
      rightErrors_ = errorsOf(tree, top.right);
      rightValues_ = valuesOf(tree, top.right);
      prepareTolerances(valuesOf(tree, top.left), int64_t{1} << (2 * top.leftGaps), valuesOf(tree, top.right),
                        root.count());
      exactRights_.assign(static_cast<size_t>((root.count() + 63) / 64), 0);
      for (int64_t r = 0; r < root.count(); ++r) {
        if (rightErrors_[r] == 0) exactRights_[static_cast<size_t>(r / 64)] |= uint64_t{1} << (r % 64);
      }
      root.tolerances = tolerances_;
    } else {
      evaluate(tree);
    }
    root.left = valuesOf(tree, top.left);
    root.right = valuesOf(tree, top.right);
    const int64_t rows = context_.tables.operatorRows;
    const SharedTexts::Place* places = shared_ ? shared_->placesOf(walk) : nullptr;
    uint64_t* collected = collected_.data();
    for (int64_t begin = 0; begin < rows; begin += kRowsPerPoll) {
      if (begin > 0 && context_.monitor.shouldStop()) return false;
      const int64_t end = std::min(rows, begin + kRowsPerPoll);
      markAcceptedRows(root, begin, end, accepted_, marks_.data(), rootValues_.data());
      if (exact_) {
        markUntrustedRows(root, begin, end);
        judgeExactly(root, prepared, begin, end);
      }
      const size_t fresh =
          places ? newRows(begin, end, [&](int64_t p) { return SharedTexts::collectsNewText(places[p], collected); })
                 : newRows(begin, end, [&](int64_t p) { return isNewText(prepared, p); });
      for (size_t k = 0; k < fresh; ++k) {
        const int64_t p = freshRows_[k];
        const double value = rootValues_[static_cast<size_t>(root.slotOf(p, begin, end))];
        found_[k] = {static_cast<int32_t>(value), ordering_, GroupingRenderer::describe(prepared.row(), p)};
      }
      collector_.collectAll({found_.data(), fresh});
    }
    return true;
  }

  // Puts the marked rows of [begin, end) that can collect and write a new
  // text in freshRows_, without branches on which are new; their count.
  template <typename IsNew>
  size_t newRows(int64_t begin, int64_t end, IsNew isNew) {
    int64_t* fresh = freshRows_.data();
    size_t count = 0;
    for (int64_t w = 0; w < (end - begin + 63) / 64; ++w) {
      for (uint64_t bits = marks_[static_cast<size_t>(w)] & candidateRows(begin / 64 + w); bits != 0;
           bits &= bits - 1) {
        const int64_t p = begin + 64 * w + std::countr_zero(bits);
        fresh[count] = p;
        count += isNew(p);
      }
    }
    return count;
  }

  // Whether no earlier grouping of the ordering wrote this text, where no
  // table of shared texts tells: asked of the texts remembered while they
  // are few, and worked out again after.
  bool isNewText(const PreparedGrouping& prepared, int64_t p) {
    if (seen_.size() < rememberedTexts_) return seen_.insert(prepared.parenthesesOf(p), p);
    return !earlierTwinAccepted(prepared.grouping(), prepared.row(), p, leafValues_.data(), accepted_, firstRows_,
                                context_.arithmetic);
  }

  const SearchContext& context_;
  Collector& collector_;
  int32_t n_;
  size_t rememberedTexts_;
  uint64_t ordering_ = 0;
  FirstRowFinder firstRows_;
  size_t walkIndex_ = 0;
  const AcceptedValues accepted_;
  const bool exact_;
  std::vector<double> leafValues_;
  std::vector<double> leafErrors_;  // with exact arithmetic: all 0
  std::vector<double> errors_;      // with exact arithmetic: the inner steps' bounds
  // With exact arithmetic, the inner steps' fractions worked out for this
  // grouping: those whose stamp is stamp_.
  std::vector<Fraction> fractions_;
  std::vector<Exactness> exactness_;
  std::vector<uint32_t> fractionStamps_;
  // With exact arithmetic, of the grouping's root: its children's error
  // bounds, each operator's tolerance, and the children's values without a
  // bound (and the divisors whose bound includes zero), whose rows are
  // judged exactly whatever their doubles.
  const double* leftErrors_ = nullptr;
  const double* rightErrors_ = nullptr;
  const double* rightValues_ = nullptr;
  double tolerances_[4] = {};
  std::vector<uint64_t> exactRights_;  // the right values that are exact, 64 to a word
  std::vector<int64_t> untrustedLefts_;
  std::vector<int64_t> untrustedRights_;
  std::vector<int64_t> shakyDivisors_;
  uint32_t stamp_ = 0;
  std::vector<double> buffer_;
  std::vector<uint64_t> marks_;
  std::vector<int64_t> freshRows_;
  std::vector<CollectedExpression> found_;  // a block's new expressions
  std::vector<double> rootValues_;          // a block's values
  std::vector<uint64_t> rowsWithMulDiv_;
  std::shared_ptr<GroupingRenderer> renderer_;
  KeySet seen_;
  const SharedTexts* shared_ = nullptr;  // where tabled
  std::vector<uint64_t> collected_;      // its bits for the ordering
};

// The pass by groupings, on the context's workers where there is more
// than one ordering; the step-by-step reduction past the counts whose
// parentheses have a key.
SearchEnd runGroupedPass(const std::vector<int32_t>& parameters, const SearchContext& context,
                         Collector& collector, DuplicateTest test) {
  const auto n = static_cast<int32_t>(parameters.size());
  if (n > kLargestKeyedCount) return runSearchPassReference(parameters, context, collector);
  auto renderer = std::make_shared<GroupingRenderer>(n, context.settings.computerOperator);
  if (context.workers > 1 && distinctOrderingCount(parameters, context.settings.orderSwap) > 1) {
    auto makeReducer = [n, test](const SearchContext& own, Collector& found) {
      return std::make_unique<GroupingReducer>(own, found, n, test, nullptr);
    };
    auto notice = [&renderer](const std::vector<int32_t>& values) { renderer->addOrdering(values); };
    return runPassOnWorkers(makeReducer, renderer, notice, parameters, context, collector);
  }
  GroupingReducer reducer(context, collector, n, test, renderer);
  return runPassWith(reducer, parameters, context, collector);
}

}  // namespace

SearchEnd runSearchPass(const std::vector<int32_t>& parameters, const SearchContext& context,
                        Collector& collector) {
  return runGroupedPass(parameters, context, collector, DuplicateTest::Tabled);
}

SearchEnd runSearchPassRememberingTexts(const std::vector<int32_t>& parameters, const SearchContext& context,
                                        Collector& collector) {
  return runGroupedPass(parameters, context, collector, DuplicateTest::Remembered);
}

SearchEnd runSearchPassDerivingTwins(const std::vector<int32_t>& parameters, const SearchContext& context,
                                     Collector& collector) {
  return runGroupedPass(parameters, context, collector, DuplicateTest::Derived);
}

}  // namespace generator
