// The enumeration tables of a question: every sequence of combining steps
// and every assignment of operators to the gaps between values.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

namespace generator {

// Thrown when the tables of a question cannot be allocated: like any other
// failed allocation, so that one handler serves both.
struct TableAllocationFailure : std::bad_alloc {
  const char* what() const noexcept override { return "Too many numbers."; }
};

// k! for k >= 1, and 1 below; exact up to k = 20.
int64_t factorial(int64_t k);
// 4^k as a double, as the C math library's pow gives it.
double powerOfFour(int32_t k);

// A table of rows of n - 1 signed 32-bit entries, stored as one block.
class RowTable {
 public:
  RowTable() = default;
  RowTable(int64_t rows, int32_t columns);
  int64_t rows() const { return rows_; }
  int32_t columns() const { return columns_; }
  const int32_t* row(int64_t r) const { return cells_.data() + r * columns_; }
  int32_t* row(int64_t r) { return cells_.data() + r * columns_; }

 private:
  int64_t rows_ = 0;
  int32_t columns_ = 0;
  std::vector<int32_t> cells_;
};

// Row r is r in the factorial number system: column c, of radix n - 1 - c,
// is the 0-based position of the left term combined by step c.
RowTable buildCombinationTable(int32_t n);
// Row r is r in base 4 with n - 1 digits: column c is the operator
// between the values at positions c and c + 1.
RowTable buildOperatorTable(int32_t n);

// The groupings of a question's combination rows: the binary tree that each
// row builds over the value positions. Rows that build the same tree give
// the same texts and values for every operator row, so only the first row
// of each tree can collect anything.

// A combining step of a tree. Nodes 0 to n - 1 are the values; node
// n + i is the result of step i.
struct GroupingNode {
  int32_t left;
  int32_t right;
  int32_t gap;        // operator position between the two children
  int32_t leftGaps;   // operator positions inside the left child
  int32_t rightGaps;  // operator positions inside the right child
  int32_t first;      // the value positions this step's result covers
  int32_t last;
  int64_t offset;     // where this step's values start in the work buffer
};

struct Grouping {
  std::vector<GroupingNode> steps;  // children before parents; the last is the root
  int64_t bufferSize;               // doubles needed for the values of all steps
};

struct Groupings {
  // For each combination row, the index of the tree it is the first row
  // of, or -1 when an earlier row builds the same tree.
  std::vector<int32_t> firstRowOf;
  std::vector<Grouping> trees;
};

Groupings analyzeGroupings(const RowTable& combinations);

struct Tables {
  RowTable combinations;
  RowTable operators;
  Groupings groupings;
};

// Builds both tables and the groupings for n >= 3. Throws TableAllocationFailure when a row
// count overflows 64 bits, when the storage exceeds the physical memory
// available, or when an allocation fails.
Tables buildTables(int32_t n);

}  // namespace generator
