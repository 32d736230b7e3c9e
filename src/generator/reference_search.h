// The search pass by reducing every expression step by step, as written:
// the oracle that the fast search is tested against.
#pragma once

#include "generator/search.h"

namespace generator {

// Collects the expression if its value is acceptable, its text new, and it
// has a multiplication or division where the settings require one.
void acceptCandidate(std::string_view text, double value, const Settings& settings,
                     Candidates candidates);

SearchEnd runSearchPassReference(const std::vector<int32_t>& parameters, const SearchContext& context,
                                 Candidates candidates);

}  // namespace generator
