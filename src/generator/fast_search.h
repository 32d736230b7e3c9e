// The search pass computed with far less work than the step-by-step
// reduction, with the same results and the same progress reports.
#pragma once

#include "generator/search.h"

namespace generator {

SearchEnd runSearchPass(const std::vector<int32_t>& parameters, const SearchContext& context,
                        Collector& collector);

// The same pass, with the duplicate test remembering texts, as the pass
// does where the table of shared texts would be large.
SearchEnd runSearchPassRememberingTexts(const std::vector<int32_t>& parameters, const SearchContext& context,
                                        Collector& collector);

// The same pass, with the duplicate test working out every time which
// groupings write the same text instead of remembering texts, as the pass
// does once an ordering has collected many.
SearchEnd runSearchPassDerivingTwins(const std::vector<int32_t>& parameters, const SearchContext& context,
                                     Collector& collector);

}  // namespace generator
