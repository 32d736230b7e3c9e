#include "generator/tables.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>

namespace generator {
namespace {

constexpr int32_t kLargestFactorialArgument = 20;  // 21! overflows 64 bits
constexpr int32_t kLargestExactPowerOfFour = 31;   // 4^32 overflows 64 bits
constexpr double kUnlimited = std::numeric_limits<double>::infinity();

// The first number after the label in a file such as /proc/meminfo, or
// nothing.
double numberAfter(const char* path, const std::string& label) {
  std::ifstream file(path);
  std::string word;
  while (file >> word) {
    if (word != label) continue;
    double value = 0;
    if (file >> value) return value;
  }
  return -1;
}

// One number in a file, such as a cgroup's memory.max; "max" is no limit.
double numberIn(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (!(file >> text)) return -1;
  if (text == "max") return kUnlimited;
  try {
    return std::stod(text);
  } catch (...) {
    return -1;
  }
}

// Calls f with the folder of this process's cgroup (version 2) and of each
// cgroup above it.
template <typename F>
void forEachCgroup(F&& f) {
  std::ifstream self("/proc/self/cgroup");
  std::string line;
  while (std::getline(self, line)) {
    if (!line.starts_with("0::")) continue;
    for (std::string dir = line.substr(3); !dir.empty(); dir.resize(dir.rfind('/'))) {
      f("/sys/fs/cgroup" + dir);
      if (dir == "/") break;
    }
    return;
  }
}

// The room left in this process's cgroup and the cgroups above it, the
// least of those with a limit.
double cgroupRoom() {
  double room = kUnlimited;
  forEachCgroup([&](const std::string& path) {
    const double max = numberIn(path + "/memory.max");
    const double current = numberIn(path + "/memory.current");
    if (max >= 0 && max != kUnlimited && current >= 0) room = std::min(room, std::max(0.0, max - current));
  });
  return room;
}

// The processors that the cgroups' CPU quotas (cpu.max: quota and period)
// allow, rounded up; unlimited where none has a quota.
double cgroupProcessors() {
  double processors = kUnlimited;
  forEachCgroup([&](const std::string& path) {
    std::ifstream file(path + "/cpu.max");
    std::string quota;
    double period = 0;
    if (!(file >> quota >> period) || quota == "max" || period <= 0) return;
    const double allowed = std::ceil(numberIn(path + "/cpu.max") / period);
    if (allowed >= 1) processors = std::min(processors, allowed);
  });
  return processors;
}

// The room left under the address-space limit (ulimit -v).
double addressSpaceRoom() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  const double used = numberAfter("/proc/self/status", "VmSize:") * 1024;
  return std::max(0.0, static_cast<double>(limit.rlim_cur) - std::max(0.0, used));
}

// Bytes of memory this process could still have: the least of what the
// kernel says is available, the cgroup's room and the address space's.
double availableMemoryBytes() {
  double available = numberAfter("/proc/meminfo", "MemAvailable:") * 1024;
  if (available < 0) {
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    available = pages > 0 && pageSize > 0 ? static_cast<double>(pages) * static_cast<double>(pageSize) : 0;
  }
  return std::min({available, cgroupRoom(), addressSpaceRoom()});
}

}  // namespace

int32_t availableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  const int32_t affinity = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
  return static_cast<int32_t>(std::max(1.0, std::min<double>(affinity, cgroupProcessors())));
}

// Replays a combination row over the value positions, without allocating:
// what each step combines and where it splits.
class RowReplay {
 public:
  explicit RowReplay(int32_t n)
      : n_(n), live_(static_cast<size_t>(n)), steps_(static_cast<size_t>(n - 1)), row_(static_cast<size_t>(n - 1)) {}

  void replay(int64_t r) {
    combinationRow(n_, r, row_.data());
    for (int32_t i = 0; i < n_; ++i) live_[static_cast<size_t>(i)] = {i, i, i};
    int32_t liveCount = n_;
    for (int32_t step = 0; step < n_ - 1; ++step) {
      const auto pos = static_cast<size_t>(row_[static_cast<size_t>(step)]);
      const Live left = live_[pos];
      const Live right = live_[pos + 1];
      steps_[static_cast<size_t>(step)] = {left.node, right.node, left.last, left.first, right.last};
      live_[pos] = {n_ + step, left.first, right.last};
      for (size_t k = pos + 1; k + 1 < static_cast<size_t>(liveCount); ++k) live_[k] = live_[k + 1];
      --liveCount;
    }
  }

  // The split gaps in pre-order, four bits each: one number per tree.
  uint64_t treeKey() const { return key(2 * n_ - 2, 0); }

  Grouping grouping() const {
    Grouping grouping{{}, 0};
    for (size_t i = 0; i < steps_.size(); ++i) {
      const Step& s = steps_[i];
      GroupingNode node{s.left, s.right, s.gap, s.gap - s.first, s.last - s.gap - 1, s.first, s.last,
                        grouping.bufferSize};
      // The root's values are made a block at a time, never stored whole.
      if (i + 1 < steps_.size()) grouping.bufferSize += int64_t{1} << (2 * (s.last - s.first));
      grouping.steps.push_back(node);
    }
    return grouping;
  }

 private:
  struct Live {
    int32_t node;
    int32_t first;  // value positions covered
    int32_t last;
  };
  struct Step {
    int32_t left;
    int32_t right;
    int32_t gap;
    int32_t first;
    int32_t last;
  };

  uint64_t key(int32_t node, uint64_t prefix) const {
    if (node < n_) return prefix;
    const Step& s = steps_[static_cast<size_t>(node - n_)];
    return key(s.right, key(s.left, (prefix << 4) | static_cast<uint64_t>(s.gap)));
  }

  int32_t n_;
  std::vector<Live> live_;
  std::vector<Step> steps_;
  std::vector<int32_t> row_;
};

int64_t factorial(int64_t k) { return k <= 1 ? 1 : k * factorial(k - 1); }

double powerOfFour(int32_t k) { return std::pow(4.0, k); }

Tables buildTables(int32_t n) {
  if (n - 1 > kLargestFactorialArgument || n - 1 > kLargestExactPowerOfFour) throw TableAllocationFailure();
  const double cells = static_cast<double>(factorial(n - 1)) + powerOfFour(n - 1);
  // Each combination row also had its grouping index.
  const double bytes = (cells * (n - 1) + static_cast<double>(factorial(n - 1))) * sizeof(int32_t);
  if (bytes > availableMemoryBytes()) throw TableAllocationFailure();
  return {n, factorial(n - 1), static_cast<int64_t>(powerOfFour(n - 1))};
}

void combinationRow(int32_t n, int64_t r, int32_t* columns) {
  // The last column has radix 1, the one before it 2, and so on.
  for (int32_t c = n - 2; c >= 0; --c) {
    const int64_t radix = n - 1 - c;
    columns[c] = static_cast<int32_t>(r % radix);
    r /= radix;
  }
}

void operatorRow(int32_t n, int64_t p, int32_t* columns) {
  for (int32_t c = 0; c < n - 1; ++c) columns[c] = static_cast<int32_t>((p >> (2 * (n - 2 - c))) & 3);
}

Grouping groupingOfRow(int32_t n, int64_t r) {
  RowReplay replay(n);
  replay.replay(r);
  return replay.grouping();
}

FirstRowFinder::FirstRowFinder(int32_t n)
    : n_(n), replay_(std::make_unique<RowReplay>(n)) {}

FirstRowFinder::~FirstRowFinder() = default;

bool FirstRowFinder::isFirstRow(int64_t r) {
  if (r == 0) cursor_ = 0;
  if (r < found_) {
    while (cursor_ < firstRows_.size() && firstRows_[cursor_] < r) ++cursor_;
    return cursor_ < firstRows_.size() && firstRows_[cursor_] == r;
  }
  replay_->replay(r);
  found_ = r + 1;
  const bool first = firstRowOfTree_.emplace(replay_->treeKey(), r).second;
  if (first) firstRows_.push_back(r);
  return first;
}

int64_t FirstRowFinder::firstRowOf(uint64_t treeKey) const {
  const auto it = firstRowOfTree_.find(treeKey);
  return it == firstRowOfTree_.end() ? -1 : it->second;
}

}  // namespace generator
