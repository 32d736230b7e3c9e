#include "generator/tables.h"

#include <unistd.h>

#include <cmath>
#include <new>
#include <stdexcept>

namespace generator {
namespace {

constexpr int32_t kLargestFactorialArgument = 20;  // 21! overflows 64 bits
constexpr int32_t kLargestExactPowerOfFour = 31;   // 4^32 overflows 64 bits

// Bytes of physical memory not in use at the moment.
double availableMemoryBytes() {
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<double>(pages) * static_cast<double>(pageSize);
}

// Throws unless both tables for n fit in 64-bit row counts and in memory.
void checkTableSize(int32_t n) {
  if (n - 1 > kLargestFactorialArgument || n - 1 > kLargestExactPowerOfFour) {
    throw TableAllocationFailure();
  }
  const double cells = static_cast<double>(factorial(n - 1)) + powerOfFour(n - 1);
  // Each combination row also gets its grouping index.
  const double bytes = (cells * (n - 1) + static_cast<double>(factorial(n - 1))) * sizeof(int32_t);
  if (bytes > availableMemoryBytes()) throw TableAllocationFailure();
}

}  // namespace

int64_t factorial(int64_t k) { return k <= 1 ? 1 : k * factorial(k - 1); }

double powerOfFour(int32_t k) { return std::pow(4.0, k); }

RowTable::RowTable(int64_t rows, int32_t columns)
    : rows_(rows), columns_(columns), cells_(static_cast<size_t>(rows * columns)) {}

RowTable buildCombinationTable(int32_t n) {
  RowTable table(factorial(n - 1), n - 1);
  for (int32_t c = 0; c < n - 1; ++c) {
    const int64_t radix = n - 1 - c;
    const int64_t rep = factorial(radix - 1);
    int64_t r = 0;
    for (int64_t block = 0; block < table.rows() / radix / rep; ++block) {
      for (int32_t digit = 0; digit < radix; ++digit) {
        for (int64_t i = 0; i < rep; ++i) table.row(r++)[c] = digit;
      }
    }
  }
  return table;
}

RowTable buildOperatorTable(int32_t n) {
  RowTable table(static_cast<int64_t>(powerOfFour(n - 1)), n - 1);
  for (int32_t c = 0; c < n - 1; ++c) {
    const auto rep = static_cast<int64_t>(powerOfFour(n - 2 - c));
    const auto blocks = static_cast<int64_t>(powerOfFour(c));
    int64_t r = 0;
    for (int64_t block = 0; block < blocks; ++block) {
      for (int32_t op = 0; op < 4; ++op) {
        for (int64_t i = 0; i < rep; ++i) table.row(r++)[c] = op;
      }
    }
  }
  return table;
}

Tables buildTables(int32_t n) {
  checkTableSize(n);
  try {
    Tables tables;
    tables.combinations = buildCombinationTable(n);
    tables.operators = buildOperatorTable(n);
    tables.groupings = analyzeGroupings(tables.combinations);
    return tables;
  } catch (const std::length_error&) {
    throw TableAllocationFailure();
  }
}

}  // namespace generator
