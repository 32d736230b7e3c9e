// A search pass whose orderings are reduced by several worker threads at
// once. Each ordering's expressions and progress depend on that ordering
// alone, so the pass hands them on in ordering order and everything it
// reports and collects is what one thread would: the earliest ordering not
// yet handed on shows its progress as its worker makes it, later ones are
// held back until their turn. The monitor and the collector are used from
// the calling thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "generator/search.h"

namespace generator {

// Makes one worker's reducer, which reports to the given context's
// monitor and collects into the given collector.
using ReducerMaker = std::function<std::unique_ptr<OrderingReducer>(const SearchContext&, Collector&)>;
// Told each ordering of the pass, in order, before any of its expressions
// is collected: what the pass's renderer needs to know of it.
using OrderingNotice = std::function<void(const std::vector<int32_t>& orderedValues)>;

// The pass on context.workers threads besides the calling one, which walks
// the orderings, polls the monitor and collects. A failure in a worker
// (such as a failed allocation) is thrown again here.
SearchEnd runPassOnWorkers(const ReducerMaker& makeReducer, std::shared_ptr<const ExpressionRenderer> renderer,
                           const OrderingNotice& noticeOrdering, const std::vector<int32_t>& parameters,
                           const SearchContext& context, Collector& collector);

}  // namespace generator
