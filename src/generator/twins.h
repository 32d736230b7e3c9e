// Groupings of one ordering that write the same text for an operator row.
// A text is written once per ordering, by the first grouping (in the walk's
// order) whose value for it is acceptable; which groupings write the same
// text follows from the groupings and the operator row alone, so whether an
// earlier one was accepted can be worked out again instead of remembered.
//
// The text of a sum (of + and -) or a product (of × and ÷) is a chain of
// operands: a - b + c, a × b ÷ c. Two groupings write the same chain when
// they bracket it differently and every bracket that they drop is the
// right operand of a + in a sum or of a × in a product, the only places
// where a same-kind operand is written without parentheses.
#pragma once

#include <cstdint>

#include "generator/search.h"
#include "generator/tables.h"

namespace generator {

// Whether a grouping met before this one in the walk writes the same text
// for the operator row with a value that the settings accept. The values
// are recomputed one double operation a step, as the search makes them;
// with exact arithmetic, texts that are the same have the same value, and
// any earlier grouping that writes it counts.
bool earlierTwinAccepted(const Grouping& grouping, int64_t firstRow, int64_t operatorRow,
                         const double* leafValues, const AcceptedValues& accepted, const FirstRowFinder& rows,
                         Arithmetic arithmetic);

}  // namespace generator
