// The real arithpuzzle binary where things go wrong around it: unusual
// signals, terminals in unusual modes, input that ends, never ends, or is huge.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cctype>
#include <string>
#include <vector>

#include "console/sequences.h"
#include "e2e/pty_program.h"

namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;  // it reserves more address space than any limit here
#else
constexpr bool kSanitized = false;
#endif
// Settings that admit no question: the search never ends by itself.
const std::vector<std::string> kEndless = {"-p3", "-n1", "-a1"};

constexpr char kQuestion[] = "Please press any key.\a";

// Types each step's keys once the text of the step before has appeared;
// a number is typed once the prompt reads lines.
void play(PtyProgram& game, const std::vector<std::pair<std::string, std::string>>& steps) {
  for (const auto& [keys, shown] : steps) {
    if (!keys.empty() && std::isdigit(static_cast<unsigned char>(keys[0]))) {
      ASSERT_TRUE(game.waitForLineMode());
    }
    game.type(keys);
    ASSERT_TRUE(game.waitFor(shown, 10)) << shown;
  }
}

TEST(GameUnderSignals, OtherEndingSignalsRestoreTheTerminal) {
  for (int sig : {SIGUSR1, SIGALRM, SIGXCPU, SIGABRT, SIGSEGV, SIGRTMIN + 1}) {
    PtyProgram game(ARITHPUZZLE_BINARY, {});
    ASSERT_TRUE(game.waitFor(kQuestion));
    game.signal(sig);
    EXPECT_TRUE(killedBy(game.wait(), sig)) << sig;
    EXPECT_TRUE(game.modesRestored()) << sig;
    EXPECT_TRUE(endsWithCursorShown(game.output)) << sig;
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
  play(game, {{"", kQuestion}, {"s", "Change settings"}, {"p", "(minimum 3): "}});
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
  struct Case {
    PtyProgram::Options options;
    std::vector<std::pair<std::string, std::string>> steps;
  };
  const Case cases[] = {
      {{.startModes = cfmakeraw},  // Enter sends a carriage return
       {{"", kQuestion}, {"s", "Change settings"}, {"p", "(minimum 3): "}, {"5\r", "Parameter count(p):5"}}},
      {{.nonBlockingInput = true}, {{"", kQuestion}, {"k", "\r\nAnswer\r\n"}, {"s", "Change settings"}}},
      {{}, {{"", kQuestion}, {"\x13", "\r\nAnswer\r\n"}, {"\x11", kQuestion}, {"s", "Change settings"}}},
  };
  for (const Case& c : cases) {
    PtyProgram game(ARITHPUZZLE_BINARY, c.options);
    play(game, c.steps);
    game.type("x");
    EXPECT_TRUE(exitedWith(game.wait(), 0));
    EXPECT_TRUE(game.modesRestored());
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
  PtyProgram game(ARITHPUZZLE_BINARY, {.arguments = kEndless, .ignoreHangUp = true});
  ASSERT_TRUE(game.waitFor("\b\b\b*****"));
  game.hangUp();
  // It ends by itself, with status 1: the output went with the terminal.
  EXPECT_TRUE(exitedWith(game.wait(), 1));
}

TEST(GameOnPipes, AnEndlessSearchEndsWhenInputEnds) {
  const int devnull = open("/dev/null", O_RDWR);
  EXPECT_TRUE(exitedWith(waitForExit(startProgram(ARITHPUZZLE_BINARY, kEndless, devnull, devnull)), 0));
  close(devnull);
}

TEST(GameOnPipes, KeysThatNeverEndKeepTheGameMoving) {
  signal(SIGPIPE, SIG_IGN);  // writing to a game that ended fails instead
  int keys[2], screen[2];
  ASSERT_TRUE(pipe(keys) == 0 && pipe(screen) == 0);
  const pid_t game = startProgram(ARITHPUZZLE_BINARY, {}, keys[0], screen[1]);
  close(keys[0]);
  close(screen[1]);
  fcntl(keys[1], F_SETFL, O_NONBLOCK);
  const std::string typed(4096, 'k');  // as from `yes k`
  std::string output;
  int answers = 0;
  for (const auto end = Clock::now() + std::chrono::seconds(60); answers < 3 && Clock::now() < end;) {
    pollfd fds[2] = {{screen[0], POLLIN, 0}, {keys[1], POLLOUT, 0}};
    if (poll(fds, 2, 10) <= 0) continue;
    if ((fds[1].revents & POLLOUT) && write(keys[1], typed.data(), typed.size()) < 0) break;
    char buffer[65536];
    const ssize_t n = (fds[0].revents & POLLIN) ? read(screen[0], buffer, sizeof buffer) : 0;
    if (n > 0) output.append(buffer, size_t(n));
    for (size_t at; (at = output.find("\nAnswer\n")) != std::string::npos; ++answers) output.erase(0, at + 1);
  }
  EXPECT_GE(answers, 3);
  close(keys[1]);
  close(screen[0]);
  waitForExit(game, 0);
}

}  // namespace
