// The real arithpuzzle binary where things go wrong around it: unusual
// signals, terminals in unusual modes, input that ends, never ends, or is huge.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "console/sequences.h"
#include "e2e/pty_program.h"

namespace {

using testing_support::PtyProgram;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

constexpr char kQuestion[] = "Please press any key.\a";
bool exitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

bool openMenu(PtyProgram& game) {
  if (!game.waitFor(kQuestion)) return false;
  game.type("s");
  return game.waitFor("Change settings");
}

// From the first question, sets the settings that admit no question at all
// and starts their endless search.
template <class Game>
bool startEndlessSearch(Game& game) {
  game.type("s");
  if (!game.waitFor("Change settings")) return false;
  for (const char* key : {"p", "n", "a"}) {
    game.type(key);
    if (!game.waitFor("(minimum ") || !game.waitForLineMode()) return false;
    game.type(*key == 'p' ? "3\n" : "1\n");
    if (!game.waitFor("Change settings")) return false;
  }
  game.type("s");
  return game.waitFor("\b\b\b*****");
}

TEST(GameUnderSignals, OtherEndingSignalsRestoreTheTerminal) {
  for (int sig : {SIGUSR1, SIGALRM, SIGXCPU, SIGABRT, SIGSEGV, SIGRTMIN + 1}) {
    PtyProgram game(ARITHPUZZLE_BINARY, {});
    ASSERT_TRUE(game.waitFor(kQuestion));
    game.signal(sig);
    const int status = game.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_TRUE(game.modesRestored()) << sig;
    const size_t shown = game.output.rfind(console::kShowCursor);
    EXPECT_TRUE(shown != std::string::npos && shown > game.output.rfind(console::kHideCursor)) << sig;
  }
}

TEST(GameUnderSignals, ContinuedAfterAStopItTakesTheTerminalBack) {
  PtyProgram game(ARITHPUZZLE_BINARY, {});
  ASSERT_TRUE(game.waitFor(kQuestion));
  game.signal(SIGSTOP);
  game.changeModes([](termios* modes) { modes->c_lflag |= ICANON | ECHO; });  // the shell's line mode
  game.signal(SIGCONT);
  ASSERT_TRUE(game.waitForKeyMode(10));
  game.type("k");  // no Enter
  EXPECT_TRUE(game.waitFor("\r\nAnswer\r\n", 10));
}

TEST(GameUnderSignals, CtrlZAtANumberPromptResumesTheLineEditing) {
  // Echo off at the start, so that the prompt's own echo shows it has taken the terminal back.
  PtyProgram game(ARITHPUZZLE_BINARY,
                  {.jobControl = true, .startModes = [](termios* modes) { modes->c_lflag &= ~tcflag_t(ECHO); }});
  ASSERT_TRUE(openMenu(game));
  game.type("p");
  ASSERT_TRUE(game.waitFor("(minimum 3): "));
  ASSERT_TRUE(game.waitForLineMode());
  game.type("\x1a");
  ASSERT_TRUE(game.waitFor("[stopped, modes restored]"));
  ASSERT_TRUE(game.waitForLineMode(10));
  game.type("3\x7f" "9\n");  // 3 erased
  EXPECT_TRUE(game.waitFor("3", 10));
  EXPECT_TRUE(game.waitFor("Parameter count(p):9", 10));
}

// A terminal in raw mode, in non-blocking mode, or with flow control keys.
TEST(GameInUnusualTerminal, KeysAndPromptsWork) {
  {
    PtyProgram game(ARITHPUZZLE_BINARY, {.startModes = cfmakeraw});
    ASSERT_TRUE(openMenu(game));
    game.type("p");
    ASSERT_TRUE(game.waitFor("(minimum 3): ") && game.waitForLineMode());
    game.type("5\r");  // Enter, as a raw terminal sends it
    EXPECT_TRUE(game.waitFor("Parameter count(p):5", 10));
    game.type("x");
    EXPECT_TRUE(exitedWith(game.wait(), 0));
    EXPECT_TRUE(game.modesRestored());
  }
  {
    PtyProgram game(ARITHPUZZLE_BINARY, {.nonBlockingInput = true});
    ASSERT_TRUE(game.waitFor(kQuestion));
    game.type("k");
    EXPECT_TRUE(game.waitFor("\r\nAnswer\r\n", 10));
    game.type("s");
    EXPECT_TRUE(game.waitFor("Change settings", 10));
    game.type("x");
    EXPECT_TRUE(exitedWith(game.wait(), 0));
  }
  {
    PtyProgram game(ARITHPUZZLE_BINARY, {});
    ASSERT_TRUE(game.waitFor(kQuestion));
    game.type("\x13");  // Ctrl+S
    EXPECT_TRUE(game.waitFor("\r\nAnswer\r\n", 10));
    game.type("\x11");  // Ctrl+Q
    EXPECT_TRUE(game.waitFor(kQuestion, 10));
  }
}

// Numbers too many for the memory that a limit leaves: the two lines, one
// key, status 1 and the terminal restored, never a kill.
TEST(GameUnderAMemoryLimit, TooManyNumbersIsReportedNotKilled) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
  PtyProgram game(ARITHPUZZLE_BINARY, {.arguments = {"-p", "12"}, .addressSpaceLimit = rlim_t{256} << 20});
  ASSERT_TRUE(game.waitFor("Too many numbers.\r\nPlease press any key.\a \r\n", 10));
  game.type("k");
  EXPECT_TRUE(exitedWith(game.wait(), 1));
  EXPECT_TRUE(game.modesRestored());
}

TEST(GameWithLostTerminal, AnEndlessSearchEndsWhenTheTerminalGoesAway) {
  PtyProgram game(ARITHPUZZLE_BINARY, {.ignoreHangUp = true});
  ASSERT_TRUE(startEndlessSearch(game));
  game.hangUp();
  // It ends by itself, with status 1: the output went with the terminal.
  EXPECT_TRUE(exitedWith(game.wait(), 1));
}

// The game with standard input and output on pipes whose other ends the test holds.
class PipedGame {
 public:
  explicit PipedGame(rlim_t memoryLimit = RLIM_INFINITY) {
    signal(SIGPIPE, SIG_IGN);  // writing to a game that ended fails instead
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
      const rlimit limit{memoryLimit, memoryLimit};
      setrlimit(RLIMIT_AS, &limit);
      execl(ARITHPUZZLE_BINARY, ARITHPUZZLE_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    fcntl(in_, F_SETFL, O_NONBLOCK);
  }
  ~PipedGame() {
    if (!ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    endInput();
    close(out_);
  }

  // Waits up to 10 ms for the game, reads its output and writes what fits of
  // keys; returns how many bytes of keys were written, -1 if the game is gone.
  ssize_t pump(std::string_view keys) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {in_, keys.empty() ? short(0) : short(POLLOUT), 0}};
    if (poll(fds, 2, 10) <= 0) return 0;
    char buffer[65536];
    const ssize_t n = fds[0].revents ? read(out_, buffer, sizeof buffer) : 0;
    if (n > 0) output.append(buffer, size_t(n));
    const ssize_t written = fds[1].revents ? write(in_, keys.data(), keys.size()) : 0;
    return written < 0 && errno == EAGAIN ? 0 : written;
  }
  bool type(std::string_view keys, int seconds = 30) {
    for (const auto end = Clock::now() + std::chrono::seconds(seconds); !keys.empty();) {
      const ssize_t written = pump(keys);
      if (written < 0 || Clock::now() > end) return false;
      keys.remove_prefix(size_t(written));
    }
    return true;
  }
  bool waitFor(const std::string& text, int seconds = 30) {
    for (const auto end = Clock::now() + std::chrono::seconds(seconds); output.find(text) == std::string::npos;) {
      if (Clock::now() > end) return false;
      pump({});
    }
    output.erase(0, output.find(text) + text.size());
    return true;
  }
  bool waitForLineMode() { return true; }  // a pipe has no modes
  void endInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  // The wait status, or -1 if the game did not end in time.
  int wait(int seconds = 30) {
    int status = 0;
    for (const auto end = Clock::now() + std::chrono::seconds(seconds); Clock::now() < end;) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) return ended_ = true, status;
      pump({});
    }
    return -1;
  }

  std::string output;

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  bool ended_ = false;
};

TEST(GameOnPipes, AnEndlessSearchEndsWhenInputEnds) {
  PipedGame game;
  ASSERT_TRUE(startEndlessSearch(game));
  game.endInput();
  // It ends by itself: the output that went with the terminal fails first.
  const int status = game.wait();
  EXPECT_TRUE(WIFEXITED(status)) << status;
}

TEST(GameOnPipes, AHugeNumberLineIsReadInLittleMemory) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
  PipedGame game(96 << 20);
  ASSERT_TRUE(game.type("s") && game.waitFor("Change settings"));
  ASSERT_TRUE(game.type("p") && game.waitFor("(minimum 3): "));
  ASSERT_TRUE(game.type(std::string(50 << 20, '7') + "\n", 300));
  EXPECT_TRUE(game.waitFor("Please try again.\nEnter parameter count (minimum 3): "));  // out of range
  game.type("4\nx");
  EXPECT_TRUE(exitedWith(game.wait(), 0));
}

TEST(GameOnPipes, KeysThatNeverEndKeepTheGameMoving) {
  PipedGame game;
  const std::string keys(4096, 'k');  // as from `yes k`
  int answers = 0;
  for (const auto end = Clock::now() + std::chrono::seconds(60); answers < 3 && Clock::now() < end;) {
    game.pump(keys);
    for (size_t at; (at = game.output.find("\nAnswer\n")) != std::string::npos; ++answers) game.output.erase(0, at + 1);
  }
  EXPECT_GE(answers, 3);
}

}  // namespace
