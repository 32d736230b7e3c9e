#include "generator/parallel_pass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "generator/orderings.h"

namespace generator {
namespace {

using Clock = std::chrono::steady_clock;

// Expressions a worker hands over at once, at most.
constexpr size_t kBatch = 16384;
// Expressions and marks a worker may have made and not yet handed on
// (3 MB and a chunk); past them it waits for its ordering's turn.
constexpr size_t kMostHeldBack = size_t{1} << 17;
// Chunks kept for reuse per worker: as many as it may hold back.
constexpr size_t kSparePerWorker = kMostHeldBack / kBatch + 2;
// How often a worker hands over its progress marks, for the ordering
// whose marks are shown as they are made.
constexpr auto kMarkInterval = std::chrono::milliseconds(1);
// How long the calling thread waits for events between stop polls.
constexpr auto kPollInterval = std::chrono::milliseconds(1);

// A progress mark, made when so many of its chunk's expressions had been
// collected.
struct Mark {
  size_t after;
  bool finished;  // the ordering's finish mark, else row's
  int64_t row;
};

// What a worker reports at once: expressions, and the marks made among them.
struct Chunk {
  std::vector<CollectedExpression> expressions;
  std::vector<Mark> marks;
  size_t size() const { return expressions.size() + marks.size(); }
};

struct Task {
  uint64_t ordering;
  std::vector<int32_t> orderedValues;
};

// An ordering walked and not yet handed on.
struct Slot {
  std::vector<Chunk> chunks;
  bool finished = false;
  size_t worker = 0;
};

// What the threads share, under one lock.
class Shared {
 public:
  explicit Shared(size_t workers) : heldBack_(workers) {}

  std::mutex mutex;
  std::condition_variable taskReady;   // for workers: a task, or the end
  std::condition_variable handedOver;  // for the calling thread: events
  std::condition_variable drained;     // for workers: room to hold back
  std::atomic<bool> stop{false};
  std::deque<Task> tasks;
  bool walkOver = false;
  std::deque<Slot> slots;  // from the earliest ordering not handed on
  uint64_t firstSlot = 0;
  int32_t waitingForRoom = 0;  // workers that hold back too much
  std::exception_ptr failure;
  // Chunks handed on, kept for reuse so that their memory stays mapped.
  std::vector<Chunk> spare;

  Slot& slotOf(uint64_t ordering) { return slots[ordering - firstSlot]; }
  size_t& heldBackBy(size_t worker) { return heldBack_[worker]; }

  // Ends the pass for every worker.
  void stopAll() {
    stop = true;
    taskReady.notify_all();
    drained.notify_all();
  }

 private:
  std::vector<size_t> heldBack_;
};

// A worker's monitor and collector at once: it records what the reducer
// reports and hands it over to the shared slots, a chunk at a time.
class WorkerRecorder final : public SearchMonitor, public Collector {
 public:
  WorkerRecorder(Shared& shared, size_t worker) : shared_(shared), worker_(worker) {}

  void startOrdering(uint64_t ordering) { ordering_ = ordering; }

  void rowStarted(int64_t row) override {
    chunk_.marks.push_back({chunk_.expressions.size(), false, row});
    if (Clock::now() - lastHandOver_ >= kMarkInterval) handOver(false);
  }
  void orderingFinished() override {
    chunk_.marks.push_back({chunk_.expressions.size(), true, 0});
    handOver(true);
  }
  bool shouldStop() override { return shared_.stop.load(std::memory_order_relaxed); }

  void beginPass(std::shared_ptr<const ExpressionRenderer>) override {}
  void collect(const CollectedExpression& expression) override { collectAll({&expression, 1}); }
  void collectAll(std::span<const CollectedExpression> expressions) override {
    chunk_.expressions.insert(chunk_.expressions.end(), expressions.begin(), expressions.end());
    if (chunk_.expressions.size() >= kBatch) handOver(false);
  }

 private:
  // Hands the chunk over; waits while this worker holds back too much.
  void handOver(bool finished) {
    std::unique_lock<std::mutex> lock(shared_.mutex);
    Slot& slot = shared_.slotOf(ordering_);
    size_t& heldBack = shared_.heldBackBy(worker_);
    heldBack += chunk_.size();
    slot.chunks.push_back(std::move(chunk_));
    slot.finished = finished;
    chunk_ = Chunk{};
    if (!shared_.spare.empty()) {
      chunk_ = std::move(shared_.spare.back());
      shared_.spare.pop_back();
    }
    lastHandOver_ = Clock::now();
    // The calling thread waits only for the earliest ordering.
    if (ordering_ == shared_.firstSlot) shared_.handedOver.notify_one();
    if (heldBack > kMostHeldBack) {
      ++shared_.waitingForRoom;
      shared_.drained.wait(lock, [&] { return heldBack <= kMostHeldBack || shared_.stop; });
      --shared_.waitingForRoom;
    }
  }

  Shared& shared_;
  size_t worker_;
  uint64_t ordering_ = 0;
  Chunk chunk_;
  Clock::time_point lastHandOver_;
};

// One worker: takes orderings in turn and reduces them.
void work(Shared& shared, size_t worker, const ReducerMaker& makeReducer, const SearchContext& context) {
  try {
    WorkerRecorder recorder(shared, worker);
    const SearchContext own{context.settings, context.tables, recorder, 1, context.arithmetic};
    const std::unique_ptr<OrderingReducer> reducer = makeReducer(own, recorder);
    while (true) {
      Task task;
      {
        std::unique_lock<std::mutex> lock(shared.mutex);
        shared.taskReady.wait(lock, [&] { return !shared.tasks.empty() || shared.walkOver || shared.stop; });
        if (shared.stop || shared.tasks.empty()) return;
        task = std::move(shared.tasks.front());
        shared.tasks.pop_front();
        shared.slotOf(task.ordering).worker = worker;
      }
      recorder.startOrdering(task.ordering);
      reducer->beginOrdering(task.orderedValues, task.ordering);
      for (int64_t o = 0; o < context.tables.combinationRows; ++o) {
        recorder.rowStarted(o);
        if (!reducer->reduceRow(o)) return;
      }
      recorder.orderingFinished();
    }
  } catch (...) {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.failure) shared.failure = std::current_exception();
    shared.stopAll();
    shared.handedOver.notify_one();
  }
}

// Stops and joins the workers however the calling thread leaves the pass.
class Workers {
 public:
  // Starts as many of the workers as the system allows; none is a lack of
  // memory, as a thread needs memory for its stack above all.
  Workers(Shared& shared, const ReducerMaker& makeReducer, const SearchContext& context) : shared_(shared) {
    for (int32_t w = 0; w < context.workers; ++w) {
      try {
        threads_.emplace_back(work, std::ref(shared), static_cast<size_t>(w), std::cref(makeReducer),
                              std::cref(context));
      } catch (const std::system_error&) {
        if (threads_.empty()) throw std::bad_alloc();
        break;
      }
    }
  }
  ~Workers() {
    {
      const std::lock_guard<std::mutex> lock(shared_.mutex);
      shared_.stopAll();
    }
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  Shared& shared_;
  std::vector<std::thread> threads_;
};

// The calling thread's part: walks the orderings ahead of the workers and
// hands on the earliest ordering's events.
class Delivery {
 public:
  Delivery(Shared& shared, const OrderingNotice& noticeOrdering, const std::vector<int32_t>& parameters,
           const SearchContext& context, Collector& collector)
      : shared_(shared), noticeOrdering_(noticeOrdering), walk_(parameters, context.settings.orderSwap),
        ahead_(2 * static_cast<size_t>(context.workers)),
        spareChunks_(kSparePerWorker * static_cast<size_t>(context.workers)), monitor_(context.monitor), collector_(collector) {}

  SearchEnd run() {
    bool shownAny = false;  // whether the earliest ordering has shown a mark
    while (true) {
      walkAhead();
      if (!orderingsLeft()) return SearchEnd::Completed;
      if (monitor_.shouldStop()) return stop(shownAny);
      std::vector<Chunk> chunks;
      bool finished = false;
      {
        const std::lock_guard<std::mutex> lock(shared_.mutex);
        Slot& slot = shared_.slots.front();
        chunks.swap(slot.chunks);
        finished = slot.finished;
        for (const Chunk& chunk : chunks) shared_.heldBackBy(slot.worker) -= chunk.size();
        if (shared_.waitingForRoom > 0) shared_.drained.notify_all();
        if (finished) {
          shared_.slots.pop_front();
          ++shared_.firstSlot;
        }
      }
      for (const Chunk& chunk : chunks) shownAny = hand(chunk) || shownAny;
      recycle(chunks);
      if (finished) {
        shownAny = false;
        continue;
      }
      std::unique_lock<std::mutex> lock(shared_.mutex);
      shared_.handedOver.wait_for(lock, kPollInterval, [&] {
        return shared_.failure || !shared_.slots.front().chunks.empty() || shared_.slots.front().finished;
      });
    }
  }

 private:
  // Whether an ordering is left to hand on; throws a worker's failure.
  bool orderingsLeft() {
    const std::lock_guard<std::mutex> lock(shared_.mutex);
    if (shared_.failure) std::rethrow_exception(shared_.failure);
    return !shared_.slots.empty();
  }

  // Keeps a few orderings walked ahead of the workers.
  void walkAhead() {
    std::vector<int32_t> values;
    const std::lock_guard<std::mutex> lock(shared_.mutex);
    bool added = false;  // a task, or the end of the walk
    while (!shared_.walkOver && shared_.tasks.size() < ahead_) {
      added = true;
      if (!walk_.next(values)) {
        shared_.walkOver = true;
        break;
      }
      noticeOrdering_(values);
      shared_.tasks.push_back({walked_++, values});
      shared_.slots.emplace_back();
    }
    if (added) shared_.taskReady.notify_all();
  }

  // Keeps handed chunks' memory for the workers, a few per worker.
  void recycle(std::vector<Chunk>& chunks) {
    const std::lock_guard<std::mutex> lock(shared_.mutex);
    for (Chunk& chunk : chunks) {
      if (shared_.spare.size() >= spareChunks_) break;
      chunk.expressions.clear();
      chunk.marks.clear();
      shared_.spare.push_back(std::move(chunk));
    }
  }

  // Hands a chunk on; whether it held a row's mark.
  bool hand(const Chunk& chunk) {
    const std::span<const CollectedExpression> expressions(chunk.expressions);
    size_t handed = 0;
    bool marked = false;
    for (const Mark& mark : chunk.marks) {
      collector_.collectAll(expressions.subspan(handed, mark.after - handed));
      handed = mark.after;
      if (mark.finished) {
        monitor_.orderingFinished();
      } else {
        monitor_.rowStarted(mark.row);
        marked = true;
      }
    }
    collector_.collectAll(expressions.subspan(handed));
    return marked;
  }

  // Ends the pass as one thread stopped in the earliest ordering would:
  // with its marks so far, at least its first, and its finish mark.
  SearchEnd stop(bool shownAny) {
    if (!shownAny) monitor_.rowStarted(0);
    monitor_.orderingFinished();
    return SearchEnd::Stopped;
  }

  Shared& shared_;
  const OrderingNotice& noticeOrdering_;
  OrderingWalk walk_;
  size_t ahead_;
  size_t spareChunks_;
  uint64_t walked_ = 0;
  SearchMonitor& monitor_;
  Collector& collector_;
};

}  // namespace

SearchEnd runPassOnWorkers(const ReducerMaker& makeReducer, std::shared_ptr<const ExpressionRenderer> renderer,
                           const OrderingNotice& noticeOrdering, const std::vector<int32_t>& parameters,
                           const SearchContext& context, Collector& collector) {
  collector.beginPass(std::move(renderer));
  Shared shared(static_cast<size_t>(context.workers));
  Delivery delivery(shared, noticeOrdering, parameters, context, collector);
  const Workers workers(shared, makeReducer, context);
  return delivery.run();
}

}  // namespace generator
