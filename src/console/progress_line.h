// A progress line on a terminal's standard error, rewritten in place.
#pragma once

#include <chrono>
#include <cstdint>

namespace console {

class ProgressLine {
 public:
  // Draws only when fd is a terminal, once the work has run firstDrawAfter.
  explicit ProgressLine(int fd, std::chrono::milliseconds firstDrawAfter = std::chrono::milliseconds(500));
  // Erases the line if it was drawn.
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Shows done of total, at most a few times a second.
  void update(int64_t done, int64_t total);
  // Erases the line if it is drawn, so that other output can take its
  // place; the next update draws it again.
  void erase();

 private:
  int fd_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::milliseconds firstDrawAfter_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace console
