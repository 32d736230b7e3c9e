// The search pass by reducing every expression step by step, as written:
// the oracle that the fast search is tested against.
#pragma once

#include <string_view>

#include "generator/expression_list.h"
#include "generator/search.h"

namespace generator {

// Whether the expression is collected: its value acceptable, its text new
// (then added to texts), and a multiplication or division in it where the
// settings require one.
bool acceptCandidate(std::string_view text, double value, const Settings& settings, ExpressionList& texts);

SearchEnd runSearchPassReference(const std::vector<int32_t>& parameters, const SearchContext& context,
                                 Collector& collector);

}  // namespace generator
