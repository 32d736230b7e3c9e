#include "generator/tables.h"
#include "generator/reduction.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace generator;

// Row r of n parameters, made by combinationRow or operatorRow.
std::vector<int32_t> rowOf(void (*make)(int32_t, int64_t, int32_t*), int32_t n, int64_t r) {
  std::vector<int32_t> row(static_cast<size_t>(n - 1));
  make(n, r, row.data());
  return row;
}

TEST(Tables, CombinationRowsForFourParameters) {
  const std::vector<std::vector<int32_t>> expected = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0},
                                                      {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
  EXPECT_EQ(buildTables(4).combinationRows, 6);
  for (int64_t r = 0; r < 6; ++r) EXPECT_EQ(rowOf(combinationRow, 4, r), expected[size_t(r)]) << r;
}

TEST(Tables, CombinationRowsAreTheFactorialNumberSystem) {
  for (int32_t n = 3; n <= 7; ++n) {
    ASSERT_EQ(buildTables(n).combinationRows, factorial(n - 1));
    for (int64_t r = 0; r < factorial(n - 1); ++r) {
      const std::vector<int32_t> row = rowOf(combinationRow, n, r);
      for (int32_t c = 0; c < n - 1; ++c) EXPECT_EQ(row[size_t(c)], (r / factorial(n - 2 - c)) % (n - 1 - c));
    }
  }
}

TEST(Tables, OperatorRows) {
  EXPECT_EQ(buildTables(3).operatorRows, 16);
  EXPECT_EQ(rowOf(operatorRow, 3, 0), (std::vector<int32_t>{Add, Add}));
  EXPECT_EQ(rowOf(operatorRow, 3, 1), (std::vector<int32_t>{Add, Subtract}));
  EXPECT_EQ(rowOf(operatorRow, 3, 6), (std::vector<int32_t>{Subtract, Multiply}));
  EXPECT_EQ(rowOf(operatorRow, 3, 11), (std::vector<int32_t>{Multiply, Divide}));
  EXPECT_EQ(rowOf(operatorRow, 3, 15), (std::vector<int32_t>{Divide, Divide}));
  std::set<std::vector<int32_t>> distinct;
  for (int64_t r = 0; r < 256; ++r) distinct.insert(rowOf(operatorRow, 5, r));
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
    FirstRowFinder finder(n);
    int64_t firstRows = 0;
    for (int64_t r = 0; r < factorial(n - 1); ++r) firstRows += finder.isFirstRow(r);
    EXPECT_EQ(firstRows, catalan[n]);
  }
  // For n = 4, rows 1 and 4 both combine the two pairs first; a second
  // walk knows it without replaying.
  FirstRowFinder four(4);
  for (int walk = 0; walk < 2; ++walk) {
    std::vector<bool> first;
    for (int64_t r = 0; r < 6; ++r) first.push_back(four.isFirstRow(r));
    EXPECT_EQ(first, (std::vector<bool>{true, true, true, true, false, true}));
  }
}

}  // namespace
