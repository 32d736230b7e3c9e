#include "generator/orderings.h"

#include <gtest/gtest.h>

namespace {

using namespace generator;

std::vector<std::vector<int32_t>> walkAll(const std::vector<int32_t>& parameters, bool orderSwap) {
  OrderingWalk walk(parameters, orderSwap);
  std::vector<std::vector<int32_t>> orderings;
  for (std::vector<int32_t> values; walk.next(values);) orderings.push_back(values);
  return orderings;
}

TEST(Orderings, RepeatedValuesAreSearchedOnce) {
  EXPECT_EQ(walkAll({4, 9, 4}, true),
            (std::vector<std::vector<int32_t>>{{4, 9, 4}, {4, 4, 9}, {9, 4, 4}}));
  EXPECT_EQ(walkAll({4, 9, 4}, false), (std::vector<std::vector<int32_t>>{{4, 9, 4}}));
  EXPECT_EQ(walkAll({7, 7, 7, 7}, true).size(), 1u);
}

TEST(Orderings, AllDifferentValuesGiveEveryPermutationInLexicographicOrder) {
  const auto orderings = walkAll({5, 1, 3, 2}, true);
  ASSERT_EQ(orderings.size(), 24u);
  EXPECT_EQ(orderings.front(), (std::vector<int32_t>{5, 1, 3, 2}));
  EXPECT_EQ(orderings[1], (std::vector<int32_t>{5, 1, 2, 3}));
  EXPECT_EQ(orderings.back(), (std::vector<int32_t>{2, 3, 1, 5}));
}

TEST(Orderings, KeysSeparateValuesWithSpaces) {
  EXPECT_EQ(orderingKey({4, 9, 4}), "4 9 4 ");
  EXPECT_EQ(orderingKey({1, 11, 111}), "111 11 1 ");
  EXPECT_EQ(orderingKey({11, 1, 111}), "111 1 11 ");
  EXPECT_EQ(orderingKey({-3, 0, 5}), "5 0 -3 ");
  EXPECT_EQ(walkAll({1, 11, 111}, true).size(), 6u);
}

TEST(Orderings, DistinctCount) {
  EXPECT_EQ(distinctOrderingCount({4, 9, 4}, true), 3);
  EXPECT_EQ(distinctOrderingCount({4, 9, 4}, false), 1);
  EXPECT_EQ(distinctOrderingCount({1, 2, 3, 4, 5, 6}, true), 720);
  EXPECT_EQ(distinctOrderingCount({1, 1, 2, 2, 3, 3}, true), 90);
}

}  // namespace
