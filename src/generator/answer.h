// Turning search passes into a question: the rarest value is the answer,
// and a pass whose answer is too common is followed by another.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "generator/collection.h"
#include "generator/fast_search.h"
#include "generator/parameters.h"
#include "generator/search.h"

namespace generator {

struct AnswerChoice {
  int32_t answer;
  int64_t exampleCount;
};

// Keeps what the answer of a pass can need, in memory that does not grow
// with the pass: per value the number of expressions and the position of
// the first one, which decide the answer, and the expressions themselves
// up to a budget. When the budget is reached, the expressions of the values
// with the most expressions are dropped first, and those values keep no
// more.
class AnswerCollector final : public Collector {
 public:
  static constexpr size_t kDefaultBudget = size_t{1} << 19;

  explicit AnswerCollector(const Settings& settings, size_t budget = kDefaultBudget);

  void beginPass(std::shared_ptr<const ExpressionRenderer> renderer) override;
  void collect(const CollectedExpression& expression) override { add(expression); }
  void collectAll(std::span<const CollectedExpression> expressions) override {
    for (const CollectedExpression& expression : expressions) add(expression);
  }

  // From the next pass on, keeps the expressions of this value only.
  void keepOnly(int32_t value) { onlyValue_ = value; }

  uint64_t collectedCount() const { return position_; }
  // The value with the fewest expressions, the first collected among
  // equals. At least one expression must have been collected.
  AnswerChoice rarest() const;
  // Whether every expression of the value is kept.
  bool keepsAllOf(int32_t value) const;
  size_t budget() const { return budget_; }
  // Calls f with the text of each kept expression of the value, in the
  // order collected.
  void forEachKeptText(int32_t value, const std::function<void(const std::string&)>& f) const;

 private:
  struct Tally {
    int64_t count = 0;
    uint64_t first = 0;
    bool dropped = false;
  };
  Tally& tallyOf(int32_t value);
  void add(const CollectedExpression& expression);
  void dropMostCommon();
  template <typename F>
  void forEachTally(F&& f) const;

  size_t budget_;
  std::optional<int32_t> onlyValue_;
  int64_t low_;
  // Values within a small range are counted in place, others in a map.
  std::vector<Tally> near_;
  std::unordered_map<int32_t, Tally> far_;
  uint64_t position_ = 0;
  std::vector<CollectedExpression> kept_;
  std::shared_ptr<const ExpressionRenderer> renderer_;
};

struct Question {
  explicit Question(const Settings& settings, size_t budget = AnswerCollector::kDefaultBudget)
      : collected(settings, budget) {}
  std::vector<int32_t> parameters;
  int32_t answer = 0;
  int32_t exampleCount = 0;
  Arithmetic arithmetic = Arithmetic::Float;  // of the passes that made it
  AnswerCollector collected;
};

// Runs passes, redrawing one parameter before each, until one has an
// answer with at most candidateCount expressions (Completed, the question
// made) or the monitor stops the search or gives it up (Stopped). When the
// budget dropped the answer's expressions, a second pass over the same
// parameters, which shows no progress, collects them again; when they are
// more than the budget, they are left to forEachAnswerText.
SearchEnd runPasses(Question& question, ParameterDraw& draw, const SearchContext& context,
                    SearchEngine engine = runSearchPass);

// Calls f with the text of each expression of the question's answer, in
// the order collected: from what is kept, or from a pass of its own.
void forEachAnswerText(const Question& question, const Settings& settings,
                       const std::function<void(const std::string&)>& f);

}  // namespace generator
