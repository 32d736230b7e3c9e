#include "generator/tables.h"

#include <unordered_map>

namespace generator {
namespace {

struct LiveTerm {
  int32_t node;
  int32_t first;  // value positions covered
  int32_t last;
};

// Packs the tree's split gaps in pre-order, four bits each, as its key.
uint64_t treeKey(const std::vector<GroupingNode>& steps, int32_t n, int32_t node, uint64_t key) {
  if (node < n) return key;
  const GroupingNode& step = steps[static_cast<size_t>(node - n)];
  key = (key << 4) | static_cast<uint64_t>(step.gap);
  key = treeKey(steps, n, step.left, key);
  return treeKey(steps, n, step.right, key);
}

// Builds the tree of one combination row by replaying its steps.
Grouping buildGrouping(const int32_t* row, int32_t n) {
  std::vector<LiveTerm> live;
  for (int32_t i = 0; i < n; ++i) live.push_back({i, i, i});
  Grouping grouping{{}, 0};
  for (int32_t step = 0; step < n - 1; ++step) {
    const auto pos = static_cast<size_t>(row[step]);
    const LiveTerm left = live[pos];
    const LiveTerm right = live[pos + 1];
    GroupingNode node{left.node,  right.node,  left.last, left.last - left.first,
                      right.last - right.first, left.first, right.last, grouping.bufferSize};
    grouping.bufferSize += int64_t{1} << (2 * (node.leftGaps + node.rightGaps + 1));
    grouping.steps.push_back(node);
    live[pos] = {n + step, left.first, right.last};
    live.erase(live.begin() + static_cast<std::ptrdiff_t>(pos) + 1);
  }
  return grouping;
}

}  // namespace

Groupings analyzeGroupings(const RowTable& combinations, const RowTable& operators) {
  const int32_t n = combinations.columns() + 1;
  Groupings result;
  result.firstRowOf.assign(static_cast<size_t>(combinations.rows()), -1);
  std::unordered_map<uint64_t, int32_t> seen;
  for (int64_t o = 0; o < combinations.rows(); ++o) {
    Grouping grouping = buildGrouping(combinations.row(o), n);
    const uint64_t key = treeKey(grouping.steps, n, 2 * n - 2, 0);
    if (!seen.emplace(key, static_cast<int32_t>(result.trees.size())).second) continue;
    result.firstRowOf[static_cast<size_t>(o)] = static_cast<int32_t>(result.trees.size());
    result.trees.push_back(std::move(grouping));
  }
  result.hasMulDiv.resize(static_cast<size_t>(operators.rows()));
  for (int64_t p = 0; p < operators.rows(); ++p) {
    bool found = false;
    for (int32_t c = 0; c < operators.columns(); ++c) found = found || operators.at(p, c) >= 2;
    result.hasMulDiv[static_cast<size_t>(p)] = found;
  }
  return result;
}

}  // namespace generator
