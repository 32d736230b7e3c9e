#include "console/terminal.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

#include "console/sequences.h"
#include "console/text.h"

namespace console {
namespace {

// The signals that end the program after the terminal is restored.
constexpr std::array kEndingSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Every signal whose handling the terminal takes over while it exists: the
// ending ones, the stop key, and closed pipes.
constexpr auto kHandledSignals = [] {
  std::array<int, kEndingSignals.size() + 2> all{};
  for (size_t i = 0; i < kEndingSignals.size(); ++i) all[i] = kEndingSignals[i];
  all[kEndingSignals.size()] = SIGTSTP;
  all[kEndingSignals.size() + 1] = SIGPIPE;
  return all;
}();

// --- Terminal modes and signals ------------------------------------------
// Plain globals, because the signal handlers need them.

int gInFd = -1;
int gOutFd = -1;
bool gIsTty = false;
bool gTerminalExists = false;
struct termios gOriginal;
volatile sig_atomic_t gCursorHidden = 0;
struct sigaction gPreviousActions[kHandledSignals.size()];

// Writes all of a buffer, retrying after interruptions; async-signal-safe.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Sets the key-reading mode: no line buffering and no echo, signals kept.
void enterKeyMode() {
  if (!gIsTty) return;
  struct termios raw = gOriginal;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(gInFd, TCSANOW, &raw);
}

// Sets the line mode of the number prompts: typed lines echoed and editable.
void enterLineMode() {
  if (!gIsTty) return;
  struct termios cooked = gOriginal;
  cooked.c_lflag |= ICANON | ECHO;
  tcsetattr(gInFd, TCSANOW, &cooked);
}

// Puts back the modes and the cursor as they were found; async-signal-safe.
void restoreTerminal() {
  if (gIsTty) tcsetattr(gInFd, TCSANOW, &gOriginal);
  if (gCursorHidden) writeAll(gOutFd, kShowCursor, sizeof kShowCursor - 1);
  gCursorHidden = 0;
}

// Ends the program by the signal it got, with the terminal restored.
void onEndingSignal(int sig) {
  restoreTerminal();
  signal(sig, SIG_DFL);
  raise(sig);
}

void installStopHandler();

// Restores the terminal, stops, and takes it over again on continuing.
void onStopSignal(int) {
  const int savedErrno = errno;
  const sig_atomic_t cursorWasHidden = gCursorHidden;
  restoreTerminal();
  signal(SIGTSTP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGTSTP);
  // Continued.
  installStopHandler();
  enterKeyMode();
  gCursorHidden = cursorWasHidden;
  if (gCursorHidden) writeAll(gOutFd, kHideCursor, sizeof kHideCursor - 1);
  errno = savedErrno;
}

void installHandler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
}

void installStopHandler() { installHandler(SIGTSTP, onStopSignal); }

// Handles an ending signal, unless the program was started with it ignored
// (as nohup does), which the program then respects.
void installEndingHandler(int sig) {
  struct sigaction current {};
  sigaction(sig, nullptr, &current);
  if (current.sa_handler != SIG_IGN) installHandler(sig, onEndingSignal);
}

// -------------------------------------------------------------------------

}  // namespace

Terminal::Terminal(int inFd, int outFd)
    : inFd_(inFd), outFd_(outFd), shiftJis_(localeShowsShiftJis()) {
  // The signal handlers restore one terminal; a second would be left as is.
  if (gTerminalExists) throw std::logic_error("only one Terminal may exist at a time");
  gTerminalExists = true;
  gInFd = inFd;
  gOutFd = outFd;
  gCursorHidden = 0;
  gIsTty = isatty(inFd) && tcgetattr(inFd, &gOriginal) == 0;
  for (size_t i = 0; i < kHandledSignals.size(); ++i) {
    sigaction(kHandledSignals[i], nullptr, &gPreviousActions[i]);
  }
  for (int sig : kEndingSignals) installEndingHandler(sig);
  installStopHandler();
  // A closed output is reported by the write itself, so that the terminal
  // can be restored before the program ends.
  signal(SIGPIPE, SIG_IGN);
  enterKeyMode();
}

Terminal::~Terminal() {
  if (!outputClosed_) writeAll(outFd_, output_.data(), output_.size());
  restoreTerminal();
  for (size_t i = 0; i < kHandledSignals.size(); ++i) {
    sigaction(kHandledSignals[i], &gPreviousActions[i], nullptr);
  }
  gTerminalExists = false;
}

int Terminal::readKey() {
  flush();
  recentKey_ = true;
  if (inputEnded_) return kEndOfInput;
  unsigned char c;
  for (;;) {
    ssize_t n = ::read(inFd_, &c, 1);
    if (n == 1) return c;
    if (n < 0 && errno == EINTR) continue;
    inputEnded_ = true;
    return kEndOfInput;
  }
}

bool Terminal::keyWaiting() {
  if (inputEnded_) return false;
  if (!recentKey_) {
    if (++callsSincePoll_ < 16) return false;
    callsSincePoll_ = 0;
    auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < std::chrono::milliseconds(1)) return false;
    lastPoll_ = now;
  }
  // Progress written since the last poll becomes visible at the same pace.
  flush();
  recentKey_ = pollInput();
  return recentKey_;
}

// Asks the terminal, without waiting, whether input is readable.
bool Terminal::pollInput() {
  struct pollfd fd {inFd_, POLLIN, 0};
  if (::poll(&fd, 1, 0) <= 0) return false;
  if (fd.revents & POLLIN) return true;
  // A hang-up with nothing left to read: the next read reports the end.
  return (fd.revents & (POLLHUP | POLLERR)) != 0;
}

void Terminal::write(std::string_view bytes) {
  output_ += toTerminalBytes(bytes, shiftJis_);
}

void Terminal::flush() {
  if (output_.empty()) return;
  const bool written = !outputClosed_ && writeAll(outFd_, output_.data(), output_.size());
  output_.clear();
  if (!written) {
    outputClosed_ = true;
    throw OutputClosed();
  }
}

void Terminal::clearScreen() {
  output_ += kClearScreen;
  flush();
}

void Terminal::showCursor(bool visible) {
  gCursorHidden = visible ? 0 : 1;
  output_ += visible ? kShowCursor : kHideCursor;
  flush();
}

// Reads more typed input into the line buffer: one whole line, with echo
// and line editing on a terminal. False when input has ended.
bool Terminal::fillLineInput() {
  flush();
  if (lineInputPos_ == lineInput_.size()) {
    lineInput_.clear();
    lineInputPos_ = 0;
  }
  enterLineMode();
  bool got = false;
  char buffer[4096];
  for (;;) {
    // Off a terminal, read byte by byte so that nothing past the line is taken.
    ssize_t n = ::read(inFd_, buffer, gIsTty ? sizeof buffer : 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    lineInput_.append(buffer, static_cast<size_t>(n));
    got = true;
    if (gIsTty || buffer[0] == '\n') break;
  }
  enterKeyMode();
  return got;
}

int Terminal::peekLineByte() {
  if (lineInputPos_ == lineInput_.size() && !fillLineInput()) return kEndOfInput;
  return static_cast<unsigned char>(lineInput_[lineInputPos_]);
}

int Terminal::readLineByte() {
  int c = peekLineByte();
  if (c != kEndOfInput) ++lineInputPos_;
  return c;
}

}  // namespace console
