// The enumeration of a question: every sequence of combining steps (the
// combination rows) and every assignment of operators to the gaps between
// values (the operator rows). Rows are computed from their numbers when
// they are needed; nothing is stored up front.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

namespace generator {

// Thrown when the enumeration of a question is too large for memory: like
// any other failed allocation, so that one handler serves both.
struct TableAllocationFailure : std::bad_alloc {
  const char* what() const noexcept override { return "Too many numbers."; }
};

// k! for k >= 1, and 1 below; exact up to k = 20.
int64_t factorial(int64_t k);
// 4^k as a double, as the C math library's pow gives it.
double powerOfFour(int32_t k);

// The sizes of a question's enumeration.
struct Tables {
  int32_t n = 0;
  int64_t combinationRows = 0;  // (n - 1)!
  int64_t operatorRows = 0;     // 4^(n - 1)
};

// The enumeration for n >= 3. Throws TableAllocationFailure when the
// tables of its rows, (n - 1)! + 4^(n - 1) rows of n - 1 entries and a
// grouping index per combination row, would not fit in the memory
// available: the least of the kernel's available memory, the room left in
// the cgroup, and the room left under the address-space limit.
Tables buildTables(int32_t n);

// Combination row r: r in the factorial number system; column c, of radix
// n - 1 - c, is the 0-based position of the left term combined by step c.
void combinationRow(int32_t n, int64_t r, int32_t* columns);
// Operator row p: p in base 4 with n - 1 digits; column c is the operator
// between the values at positions c and c + 1.
void operatorRow(int32_t n, int64_t p, int32_t* columns);

// The processors this process may run on: those of its CPU affinity, and
// no more than its cgroups' CPU quotas allow. At least 1.
int32_t availableProcessors();

// The binary tree that a combination row builds over the value positions.
// Rows that build the same tree give the same texts and values for every
// operator row, so only the first row of each tree can collect anything.

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
  int64_t bufferSize;               // doubles for the values of every step but the root
};

// The tree of combination row r.
Grouping groupingOfRow(int32_t n, int64_t r);

// Finds, as the combination rows are walked in order, which rows are the
// first of their trees. What one walk finds serves the walks after it.
class RowReplay;

class FirstRowFinder {
 public:
  explicit FirstRowFinder(int32_t n);
  ~FirstRowFinder();
  // Whether row r is the first row of its tree. Rows are asked in order
  // from 0, and again from 0 for each ordering.
  bool isFirstRow(int64_t r);
  // The first row of the tree with this key (the split gaps in pre-order,
  // four bits each), or -1 while no row asked about so far builds it.
  int64_t firstRowOf(uint64_t treeKey) const;

 private:
  int32_t n_;
  int64_t found_ = 0;  // rows below this are known
  std::vector<int64_t> firstRows_;
  size_t cursor_ = 0;
  std::unordered_map<uint64_t, int64_t> firstRowOfTree_;
  std::unique_ptr<RowReplay> replay_;
};

}  // namespace generator
