// The threaded pass: a failure in a worker reaches the caller as itself.
#include <gtest/gtest.h>

#include "generator/parallel_pass.h"
#include "generator/search_support.h"

namespace {

using namespace generator;

// Collects nothing; runs out of memory in the third ordering.
class FailingReducer final : public OrderingReducer {
 public:
  std::shared_ptr<const ExpressionRenderer> renderer() const override { return nullptr; }
  void beginOrdering(const std::vector<int32_t>&, uint64_t ordering) override { ordering_ = ordering; }
  bool reduceRow(int64_t) override {
    if (ordering_ == 2) throw std::bad_alloc();
    return true;
  }

 private:
  uint64_t ordering_ = 0;
};

TEST(ParallelPass, AFailedAllocationInAWorkerIsThrownToTheCaller) {
  Settings settings;
  settings.orderSwap = true;
  const Tables tables = buildTables(4);
  for (const int32_t workers : {1, 2, 5}) {
    testing_support::RecordingMonitor monitor;
    testing_support::PassResult found;
    const SearchContext context{settings, tables, monitor, workers};
    auto makeReducer = [](const SearchContext&, Collector&) { return std::make_unique<FailingReducer>(); };
    EXPECT_THROW(runPassOnWorkers(makeReducer, nullptr, [](const std::vector<int32_t>&) {}, {1, 2, 3, 4}, context,
                                  found),
                 std::bad_alloc);
  }
}

}  // namespace
