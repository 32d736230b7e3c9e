#include "generator/tables.h"
#include "generator/reduction.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace generator;

std::vector<int32_t> rowOf(const RowTable& table, int64_t r) {
  return std::vector<int32_t>(table.row(r), table.row(r) + table.columns());
}

TEST(Tables, CombinationTableForFourParameters) {
  const RowTable table = buildCombinationTable(4);
  ASSERT_EQ(table.rows(), 6);
  const std::vector<std::vector<int32_t>> expected = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0},
                                                      {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
  for (int64_t r = 0; r < 6; ++r) EXPECT_EQ(rowOf(table, r), expected[size_t(r)]) << r;
}

TEST(Tables, CombinationRowsAreTheFactorialNumberSystem) {
  for (int32_t n = 3; n <= 7; ++n) {
    const RowTable table = buildCombinationTable(n);
    ASSERT_EQ(table.rows(), factorial(n - 1));
    for (int64_t r = 0; r < table.rows(); ++r) {
      for (int32_t c = 0; c < n - 1; ++c) {
        EXPECT_EQ(table.row(r)[c], (r / factorial(n - 2 - c)) % (n - 1 - c));
      }
    }
  }
}

TEST(Tables, OperatorTableRows) {
  const RowTable three = buildOperatorTable(3);
  ASSERT_EQ(three.rows(), 16);
  EXPECT_EQ(rowOf(three, 0), (std::vector<int32_t>{Add, Add}));
  EXPECT_EQ(rowOf(three, 1), (std::vector<int32_t>{Add, Subtract}));
  EXPECT_EQ(rowOf(three, 6), (std::vector<int32_t>{Subtract, Multiply}));
  EXPECT_EQ(rowOf(three, 11), (std::vector<int32_t>{Multiply, Divide}));
  EXPECT_EQ(rowOf(three, 15), (std::vector<int32_t>{Divide, Divide}));
  const RowTable five = buildOperatorTable(5);
  std::set<std::vector<int32_t>> distinct;
  for (int64_t r = 0; r < five.rows(); ++r) distinct.insert(rowOf(five, r));
  EXPECT_EQ(distinct.size(), 256u);
}

TEST(Tables, TooManyParametersFailInsteadOfAllocating) {
  EXPECT_THROW(buildTables(14), TableAllocationFailure);  // hundreds of gigabytes
  EXPECT_THROW(buildTables(22), TableAllocationFailure);  // 21! overflows 64 bits
  EXPECT_THROW(buildTables(INT32_MAX), TableAllocationFailure);
  EXPECT_NO_THROW(buildTables(3));
}

TEST(Groupings, OnlyTheFirstRowOfEachTreeCounts) {
  // Catalan numbers: the distinct binary trees over n values.
  const int64_t catalan[] = {0, 0, 0, 2, 5, 14, 42, 132};
  for (int32_t n = 3; n <= 7; ++n) {
    const Tables tables = buildTables(n);
    EXPECT_EQ(int64_t(tables.groupings.trees.size()), catalan[n]);
  }
  // For n = 4, rows 1 and 4 both combine the two pairs first.
  const Tables four = buildTables(4);
  EXPECT_EQ(four.groupings.firstRowOf, (std::vector<int32_t>{0, 1, 2, 3, -1, 4}));
}

}  // namespace
