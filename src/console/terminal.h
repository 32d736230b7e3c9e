// The real terminal on POSIX file descriptors. This is the only code that
// touches termios and signals; the sequences it writes are in sequences.h.
#pragma once

#include <chrono>
#include <string>

#include "console/console.h"

namespace console {

class Terminal final : public Console {
 public:
  // Takes over the terminal on inFd/outFd: keys unechoed and unbuffered
  // when inFd is a terminal, and handlers that restore it on every signal
  // that ends or stops the program. Only one Terminal may exist at a time:
  // a second one throws std::logic_error.
  Terminal(int inFd, int outFd);
  // Restores the terminal as it was found.
  ~Terminal() override;
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  int readKey() override;
  bool keyWaiting() override;
  void write(std::string_view bytes) override;
  void flush() override;
  void clearScreen() override;
  void showCursor(bool visible) override;
  int readLineByte() override;
  int peekLineByte() override;
  void discardWaitingKeys() override;

 private:
  static constexpr size_t kReadBlock = 4096;

  bool pollInput();
  bool fillUnread();
  void skipRestOfLine();
  bool fillLineInput();

  int inFd_;
  int outFd_;
  bool shiftJis_;
  bool inputEnded_ = false;
  bool outputClosed_ = false;
  std::string output_;
  // Input read but not yet taken as a key or a line.
  std::string unread_;
  size_t unreadPos_ = 0;
  std::string lineInput_;
  // Off a terminal: the line being read has more bytes than were taken,
  // which are line input, never keys.
  bool lineUnfinished_ = false;
  size_t lineInputPos_ = 0;
  // Throttles the key poll: the terminal is asked at most about once a
  // millisecond while no key was waiting.
  unsigned callsSincePoll_ = 0;
  bool recentKey_ = true;
  std::chrono::steady_clock::time_point lastPoll_{};
};

}  // namespace console
