#include "console/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "console/sequences.h"
#include "console/text.h"

namespace console {
namespace {

// --- Terminal modes and signals ------------------------------------------
// Plain globals, because the signal handlers need them. The terminal is in
// one of two modes while the program runs: key mode (keys unechoed and
// unbuffered) or line mode (the number prompts' typed lines). Every way out
// puts back the modes found at start and shows the cursor; continuing after
// any stop puts back the mode and the cursor that were in force.

enum Mode : sig_atomic_t { kKeyMode, kLineMode };

int gInFd = -1;
int gOutFd = -1;
bool gIsTty = false;
bool gTerminalExists = false;
struct termios gOriginal;
volatile sig_atomic_t gMode = kKeyMode;
volatile sig_atomic_t gCursorHidden = 0;
struct sigaction gPreviousActions[NSIG];

// The signals whose default action ends the program and that can be caught:
// these restore the terminal, then end the program by the same signal.
constexpr int kFixedEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,    SIGTRAP,   SIGABRT,  SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU,   SIGXFSZ,  SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,
    SIGSYS};

// Calls f for every ending signal: the fixed ones and the real-time ones.
template <typename F>
void forEachEndingSignal(F&& f) {
  for (int sig : kFixedEndingSignals) f(sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) f(sig);
}

// Calls f for every signal whose handling the terminal takes over: the
// ending ones, the stops and continuing, and closed pipes.
template <typename F>
void forEachHandledSignal(F&& f) {
  forEachEndingSignal(f);
  for (int sig : {SIGTSTP, SIGCONT, SIGPIPE}) f(sig);
}

// Waits until fd is ready for the events, at most timeoutMs (-1: no limit).
bool waitReady(int fd, short events, int timeoutMs) {
  struct pollfd p {fd, events, 0};
  for (;;) {
    const int n = ::poll(&p, 1, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

// Writes all of a buffer, retrying after interruptions and waiting while
// the output is full (a non-blocking descriptor).
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitReady(fd, POLLOUT, -1)) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes a short text from a signal handler without ever blocking for
// long: output that stays full for about a second is given up.
// Async-signal-safe.
void writeFromHandler(const char* text, size_t size) {
  const int flags = fcntl(gOutFd, F_GETFL);
  if (flags < 0) return;
  fcntl(gOutFd, F_SETFL, flags | O_NONBLOCK);
  for (int waits = 0; size > 0 && waits < 20;) {
    const ssize_t n = ::write(gOutFd, text, size);
    if (n > 0) {
      text += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      waitReady(gOutFd, POLLOUT, 50);
      ++waits;
    } else {
      break;
    }
  }
  fcntl(gOutFd, F_SETFL, flags);
}

// The modes of key mode: no line buffering, no echo, and no flow control,
// so that Ctrl+S and Ctrl+Q are keys too; signals kept.
struct termios keyModes() {
  struct termios raw = gOriginal;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
  raw.c_oflag |= OPOST | ONLCR;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  return raw;
}

// The modes of line mode: typed lines echoed and editable, Enter ending a
// line, whatever modes the terminal was started in.
struct termios lineModes() {
  struct termios cooked = gOriginal;
  cooked.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
  cooked.c_iflag |= ICRNL;
  cooked.c_iflag &= ~static_cast<tcflag_t>(INLCR | IGNCR);
  cooked.c_oflag |= OPOST | ONLCR;
  return cooked;
}

// Applies the mode in force; async-signal-safe.
void applyMode() {
  if (!gIsTty) return;
  const struct termios modes = gMode == kLineMode ? lineModes() : keyModes();
  tcsetattr(gInFd, TCSANOW, &modes);
}

void enterMode(Mode mode) {
  gMode = mode;
  applyMode();
}

// Puts back the modes and the cursor as they were found; async-signal-safe.
void restoreTerminal() {
  if (gIsTty) tcsetattr(gInFd, TCSANOW, &gOriginal);
  if (gCursorHidden) writeFromHandler(kShowCursor, sizeof kShowCursor - 1);
}

void installHandler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  // No other handled signal interrupts a handler, but continuing may
  // interrupt a stop in progress.
  sigfillset(&action.sa_mask);
  sigdelset(&action.sa_mask, SIGCONT);
  sigaction(sig, &action, nullptr);
}

// Ends the program by the signal it got, with the terminal restored. A
// fault such as SIGSEGV happens again on return, now with its default
// action, so the core shows where it was.
void onEndingSignal(int sig) {
  restoreTerminal();
  signal(sig, SIG_DFL);
  raise(sig);
}

void onStopSignal(int);

// Restores the terminal and stops; continuing is handled by onContinue.
void onStopSignal(int) {
  const int savedErrno = errno;
  restoreTerminal();
  signal(SIGTSTP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGTSTP);
  // Continued.
  installHandler(SIGTSTP, onStopSignal);
  errno = savedErrno;
}

// Continuing after any stop (Ctrl+Z, SIGSTOP, a debugger): the shell may
// have reset the modes meanwhile, so the wanted ones are applied again.
void onContinue(int) {
  const int savedErrno = errno;
  applyMode();
  if (gCursorHidden) writeFromHandler(kHideCursor, sizeof kHideCursor - 1);
  errno = savedErrno;
}

// Handles a signal, unless the program was started with it ignored (as
// nohup does), which the program then respects.
void installUnlessIgnored(int sig, void (*handler)(int)) {
  if (gPreviousActions[sig].sa_handler != SIG_IGN) installHandler(sig, handler);
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
  forEachHandledSignal([](int sig) { sigaction(sig, nullptr, &gPreviousActions[sig]); });
  forEachEndingSignal([](int sig) { installUnlessIgnored(sig, onEndingSignal); });
  installUnlessIgnored(SIGTSTP, onStopSignal);
  installHandler(SIGCONT, onContinue);
  // A closed output is reported by the write itself, so that the terminal
  // can be restored before the program ends.
  signal(SIGPIPE, SIG_IGN);
  enterMode(kKeyMode);
}

Terminal::~Terminal() {
  if (!outputClosed_) writeAll(outFd_, output_.data(), output_.size());
  // No handler may take the terminal back once it is restored: the old
  // handling comes back first, with the signals held meanwhile.
  sigset_t all, before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
  forEachHandledSignal([](int sig) { sigaction(sig, &gPreviousActions[sig], nullptr); });
  restoreTerminal();
  gCursorHidden = 0;
  gTerminalExists = false;
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

namespace {

// Reads what is there, waiting for it on a non-blocking descriptor too;
// 0 at the end of input or when input fails.
size_t readSome(int fd, char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitReady(fd, POLLIN, -1)) continue;
    return 0;
  }
}

}  // namespace

// Reads more input into unread_: one byte on a terminal in key mode, so
// that what follows stays for the key poll; a block off a terminal.
bool Terminal::fillUnread() {
  if (inputEnded_) return false;
  char buffer[kReadBlock];
  const size_t n = readSome(inFd_, buffer, gIsTty ? 1 : sizeof buffer);
  if (n == 0) {
    inputEnded_ = true;
    return false;
  }
  unread_.assign(buffer, n);
  unreadPos_ = 0;
  return true;
}

// Skips what is left of a line longer than one block, so that no key is
// taken from it; memory stays bounded however long the line.
void Terminal::skipRestOfLine() {
  while (lineUnfinished_) {
    if (unreadPos_ == unread_.size() && !fillUnread()) return;
    const size_t lineEnd = unread_.find('\n', unreadPos_);
    lineUnfinished_ = lineEnd == std::string::npos;
    unreadPos_ = lineUnfinished_ ? unread_.size() : lineEnd + 1;
  }
}

int Terminal::readKey() {
  flush();
  recentKey_ = true;
  skipRestOfLine();
  if (unreadPos_ == unread_.size() && !fillUnread()) return kEndOfInput;
  return static_cast<unsigned char>(unread_[unreadPos_++]);
}

// keyWaiting reads the clock once in so many calls, and polls the input
// at most once a millisecond: a search asks very often, or, when it runs on
// other threads, a few times a millisecond.
constexpr unsigned kCallsPerClockRead = 4;

bool Terminal::keyWaiting() {
  if (inputEnded_) return false;
  if (!recentKey_) {
    if (++callsSincePoll_ < kCallsPerClockRead) return false;
    callsSincePoll_ = 0;
    auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < std::chrono::milliseconds(1)) return false;
    lastPoll_ = now;
  }
  // Progress written since the last poll becomes visible at the same pace.
  flush();
  recentKey_ = unreadPos_ < unread_.size() || pollInput();
  return recentKey_;
}

void Terminal::discardWaitingKeys() {
  unread_.clear();
  unreadPos_ = 0;
  if (inputEnded_) return;
  if (gIsTty) {
    tcflush(inFd_, TCIFLUSH);
    return;
  }
  // Off a terminal, what is buffered now; what arrives later is kept.
  int waiting = 0;
  if (ioctl(inFd_, FIONREAD, &waiting) != 0) return;
  char buffer[kReadBlock];
  while (waiting > 0) {
    const size_t n = readSome(inFd_, buffer, std::min(sizeof buffer, static_cast<size_t>(waiting)));
    if (n == 0) break;
    waiting -= static_cast<int>(n);
  }
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

// Reads more typed input into the line buffer: on a terminal, what one
// read of a typed line gives, with echo and line editing; off a terminal,
// the unread input up to and including the next line break, so that what
// follows stays for the keys. False when input has ended. Either way at
// most one block is held, however long the line.
bool Terminal::fillLineInput() {
  flush();
  lineInput_.clear();
  lineInputPos_ = 0;
  if (gIsTty) {
    enterMode(kLineMode);
    char buffer[kReadBlock];
    const size_t n = readSome(inFd_, buffer, sizeof buffer);
    enterMode(kKeyMode);
    if (n == 0) inputEnded_ = true;
    lineInput_.assign(buffer, n);
    return n > 0;
  }
  if (unreadPos_ == unread_.size() && !fillUnread()) return false;
  const size_t lineEnd = unread_.find('\n', unreadPos_);
  lineUnfinished_ = lineEnd == std::string::npos;
  const size_t end = lineUnfinished_ ? unread_.size() : lineEnd + 1;
  lineInput_.assign(unread_, unreadPos_, end - unreadPos_);
  unreadPos_ = end;
  return true;
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
