#include "generator/answer.h"

#include <algorithm>

#include "generator/tables.h"

namespace generator {
namespace {

// Values counted in place when the settings' range is at most this wide.
constexpr int64_t kNearRange = int64_t{1} << 16;

// Hands on the expressions of one value, rendered, as they are collected.
class ValueTexts final : public Collector {
 public:
  ValueTexts(int32_t value, const std::function<void(const std::string&)>& f) : value_(value), f_(f) {}
  void beginPass(std::shared_ptr<const ExpressionRenderer> renderer) override { renderer_ = std::move(renderer); }
  void collect(const CollectedExpression& expression) override {
    if (expression.value == value_) f_(renderer_->render(expression));
  }

 private:
  int32_t value_;
  const std::function<void(const std::string&)>& f_;
  std::shared_ptr<const ExpressionRenderer> renderer_;
};

}  // namespace

AnswerCollector::AnswerCollector(const Settings& settings, size_t budget)
    : budget_(budget), low_(settings.allowNegative ? -int64_t{settings.maxAbsValue} : 0) {
  const int64_t range = int64_t{settings.maxAbsValue} - low_ + 1;
  if (range <= kNearRange) near_.resize(static_cast<size_t>(range));
}

void AnswerCollector::beginPass(std::shared_ptr<const ExpressionRenderer> renderer) {
  std::fill(near_.begin(), near_.end(), Tally{});
  far_.clear();
  position_ = 0;
  kept_.clear();
  renderer_ = std::move(renderer);
}

AnswerCollector::Tally& AnswerCollector::tallyOf(int32_t value) {
  if (!near_.empty()) return near_[static_cast<size_t>(value - low_)];
  return far_[value];
}

template <typename F>
void AnswerCollector::forEachTally(F&& f) const {
  for (size_t i = 0; i < near_.size(); ++i) f(static_cast<int32_t>(low_ + static_cast<int64_t>(i)), near_[i]);
  for (const auto& [value, tally] : far_) f(value, tally);
}

void AnswerCollector::add(const CollectedExpression& expression) {
  Tally& tally = tallyOf(expression.value);
  if (tally.count++ == 0) tally.first = position_;
  ++position_;
  if (tally.dropped || (onlyValue_ && expression.value != *onlyValue_)) return;
  if (budget_ == 0) {
    tally.dropped = true;
    return;
  }
  if (kept_.size() >= budget_) {
    dropMostCommon();
    if (tally.dropped) return;
  }
  kept_.push_back(expression);
}

// Drops the kept expressions of the most common values until at most half
// the budget is kept. A value not dropped has all its expressions kept.
void AnswerCollector::dropMostCommon() {
  std::vector<std::pair<int64_t, int32_t>> byCount;  // count, value
  forEachTally([&](int32_t value, const Tally& tally) {
    if (tally.count > 0 && !tally.dropped) byCount.emplace_back(tally.count, value);
  });
  std::sort(byCount.begin(), byCount.end(), std::greater<>());
  int64_t kept = static_cast<int64_t>(kept_.size());
  for (const auto& [count, value] : byCount) {
    if (kept <= static_cast<int64_t>(budget_ / 2)) break;
    tallyOf(value).dropped = true;
    kept -= count;
  }
  std::erase_if(kept_, [this](const CollectedExpression& e) { return tallyOf(e.value).dropped; });
}

AnswerChoice AnswerCollector::rarest() const {
  AnswerChoice choice{0, 0};
  uint64_t first = 0;
  forEachTally([&](int32_t value, const Tally& tally) {
    if (tally.count == 0) return;
    if (choice.exampleCount == 0 || tally.count < choice.exampleCount ||
        (tally.count == choice.exampleCount && tally.first < first)) {
      choice = {value, tally.count};
      first = tally.first;
    }
  });
  return choice;
}

bool AnswerCollector::keepsAllOf(int32_t value) const {
  if (onlyValue_ && value != *onlyValue_) return false;
  if (!near_.empty()) {
    const int64_t i = value - low_;
    return i < 0 || i >= static_cast<int64_t>(near_.size()) || !near_[static_cast<size_t>(i)].dropped;
  }
  const auto it = far_.find(value);
  return it == far_.end() || !it->second.dropped;
}

void AnswerCollector::forEachKeptText(int32_t value, const std::function<void(const std::string&)>& f) const {
  for (const CollectedExpression& e : kept_) {
    if (e.value == value) f(renderer_->render(e));
  }
}

SearchEnd runPasses(Question& question, ParameterDraw& draw, const SearchContext& context,
                    SearchEngine engine) {
  AnswerCollector& collected = question.collected;
  question.arithmetic = context.arithmetic;
  for (;;) {
    draw.redraw(context.settings, question.parameters);
    if (engine(question.parameters, context, collected) == SearchEnd::Stopped) return SearchEnd::Stopped;
    if (collected.collectedCount() > 0) {
      const AnswerChoice choice = collected.rarest();
      if (choice.exampleCount <= context.settings.candidateCount) {
        question.answer = choice.answer;
        question.exampleCount = static_cast<int32_t>(choice.exampleCount);
        if (collected.keepsAllOf(choice.answer) || choice.exampleCount > static_cast<int64_t>(collected.budget())) {
          return SearchEnd::Completed;
        }
        collected.keepOnly(choice.answer);
        SilentMonitor silent(context.monitor);
        const SearchContext quiet{context.settings, context.tables, silent, context.workers, context.arithmetic};
        return engine(question.parameters, quiet, collected);
      }
    }
    if (!context.monitor.keepSearching()) return SearchEnd::Stopped;
  }
}

void forEachAnswerText(const Question& question, const Settings& settings,
                       const std::function<void(const std::string&)>& f) {
  if (question.collected.keepsAllOf(question.answer)) {
    question.collected.forEachKeptText(question.answer, f);
    return;
  }
  const Tables tables = buildTables(static_cast<int32_t>(question.parameters.size()));
  SearchMonitor monitor;  // nothing stops it, and it shows nothing
  ValueTexts texts(question.answer, f);
  runSearchPass(question.parameters, {settings, tables, monitor, 1, question.arithmetic}, texts);
}

}  // namespace generator
