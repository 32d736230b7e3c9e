#include "console/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "console/sequences.h"

namespace console {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(250);

void writeText(int fd, const std::string& text) {
  if (::write(fd, text.data(), text.size()) < 0) {
    // A progress line that cannot be written is simply not shown.
  }
}

}  // namespace

ProgressLine::ProgressLine(int fd, std::chrono::milliseconds firstDrawAfter)
    : fd_(fd), enabled_(isatty(fd) != 0), firstDrawAfter_(firstDrawAfter),
      start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { erase(); }

void ProgressLine::erase() {
  if (drawn_) writeText(fd_, kEraseLine);
  drawn_ = false;
}

void ProgressLine::update(int64_t done, int64_t total) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < firstDrawAfter_ || (drawn_ && now - lastDraw_ < kRedrawEvery)) return;
  lastDraw_ = now;
  drawn_ = true;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
  writeText(fd_, std::string(kEraseLine) + "searched " + std::to_string(done) + " of " +
                     std::to_string(total) + " orderings, " + elapsed + " s");
}

}  // namespace console
