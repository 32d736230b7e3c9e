#include <cstddef>
#include <unordered_map>
#include <vector>

#include "generator/tables.h"

namespace generator {
namespace {

// The steps of one combination row replayed over the value positions,
// without allocating: what each step combines and where it splits.
class RowReplay {
 public:
  explicit RowReplay(int32_t n) : n_(n), live_(static_cast<size_t>(n)), steps_(static_cast<size_t>(n - 1)) {}

  void replay(const int32_t* row) {
    for (int32_t i = 0; i < n_; ++i) live_[static_cast<size_t>(i)] = {i, i, i};
    int32_t liveCount = n_;
    for (int32_t step = 0; step < n_ - 1; ++step) {
      const auto pos = static_cast<size_t>(row[step]);
      const Live left = live_[pos];
      const Live right = live_[pos + 1];
      steps_[static_cast<size_t>(step)] = {left.node, right.node, left.last, left.first, right.last};
      live_[pos] = {n_ + step, left.first, right.last};
      for (size_t k = pos + 1; k + 1 < static_cast<size_t>(liveCount); ++k) live_[k] = live_[k + 1];
      --liveCount;
    }
  }

  // The split gaps in pre-order, four bits each: one number per tree.
  uint64_t treeKey() const { return key(2 * n_ - 2, 0); }

  Grouping grouping() const {
    Grouping grouping{{}, 0};
    for (const Step& s : steps_) {
      GroupingNode node{s.left, s.right, s.gap, s.gap - s.first, s.last - s.gap - 1, s.first, s.last,
                        grouping.bufferSize};
      grouping.bufferSize += int64_t{1} << (2 * (s.last - s.first));
      grouping.steps.push_back(node);
    }
    return grouping;
  }

 private:
  struct Live {
    int32_t node;
    int32_t first;  // value positions covered
    int32_t last;
  };
  struct Step {
    int32_t left;
    int32_t right;
    int32_t gap;
    int32_t first;
    int32_t last;
  };

  uint64_t key(int32_t node, uint64_t prefix) const {
    if (node < n_) return prefix;
    const Step& s = steps_[static_cast<size_t>(node - n_)];
    return key(s.right, key(s.left, (prefix << 4) | static_cast<uint64_t>(s.gap)));
  }

  int32_t n_;
  std::vector<Live> live_;
  std::vector<Step> steps_;
};

}  // namespace

Groupings analyzeGroupings(const RowTable& combinations) {
  const int32_t n = combinations.columns() + 1;
  Groupings result;
  result.firstRowOf.assign(static_cast<size_t>(combinations.rows()), -1);
  std::unordered_map<uint64_t, int32_t> seen;
  RowReplay replay(n);
  for (int64_t o = 0; o < combinations.rows(); ++o) {
    replay.replay(combinations.row(o));
    const auto index = static_cast<int32_t>(result.trees.size());
    if (!seen.emplace(replay.treeKey(), index).second) continue;
    result.firstRowOf[static_cast<size_t>(o)] = index;
    result.trees.push_back(replay.grouping());
  }
  return result;
}

}  // namespace generator
