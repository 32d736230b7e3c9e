// The real arithpuzzle binary in a pseudo-terminal: its screens byte for
// byte, its prompts, and the terminal left as it was on every way out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "console/sequences.h"
#include "console/text.h"
#include "e2e/pty_program.h"
#include "frontend/game.h"
#include "scripted_console.h"

namespace {

using namespace testing_support;

constexpr char kFakeTime[] = FAKETIME_LIBRARY;  // empty where it was not found
constexpr std::time_t kFrozenSecond = 1767225600;  // 2026-01-01 00:00:00 UTC
const std::string kFinishThenMenu =
    std::string("\b\b\b*****") + console::kShowCursor + console::kClearScreen + "Change settings\r\n";


// What the game writes for these key presses in the frozen second, as the
// terminal receives it: UTF-8 signs and a carriage return before each line feed.
std::string expectedTranscript(const std::vector<std::string>& keys) {
  testing_support::ScriptedConsole console(keys);
  frontend::runGame(console, {}, [] { return uint64_t{kFrozenSecond}; });
  std::string terminal;
  for (char c : console::toTerminalBytes(console.output, false)) {
    if (c == '\n') terminal += '\r';
    terminal += c;
  }
  return terminal;
}

PtyProgram startGame(PtyProgram::Options options = {}) { return PtyProgram(ARITHPUZZLE_BINARY, options); }

// Waits for the first question, then opens the menu with s.
bool openMenu(PtyProgram& game) {
  if (!game.waitFor("Please press any key.\a \r\n")) return false;
  game.type("s");
  return game.waitFor("Change settings");
}

// Leaves with the menu's x key: status 0, the terminal as it was.
void expectCleanExit(PtyProgram& game, const char* key = "x") {
  game.type(key);
  EXPECT_TRUE(exitedWith(game.wait(), 0));
  EXPECT_TRUE(game.modesRestored());
}

TEST(GameInTerminal, ScreensAndMenuByteForByteInAFrozenSecond) {
  if (kFakeTime[0] == '\0' || access(kFakeTime, R_OK) != 0) GTEST_SKIP() << "libfaketime is not installed";
  PtyProgram game(ARITHPUZZLE_BINARY,
                  {{std::string("LD_PRELOAD=") + kFakeTime, "FAKETIME=2026-01-01 00:00:00", "TZ=UTC",
                    "FAKETIME_DONT_FAKE_MONOTONIC=1",
                    // A sanitizer build accepts the preloaded library before its own.
                    "ASAN_OPTIONS=verify_asan_link_order=0"}});
  ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
  game.type("k");
  ASSERT_TRUE(game.waitFor("Please press any key.\r\n"));
  game.type("k");
  ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
  game.type("s");
  ASSERT_TRUE(game.waitFor("\tProgram exit(x)\r\n\r\n"));
  game.type("x");
  EXPECT_TRUE(exitedWith(game.wait(), 0));
  EXPECT_EQ(game.output, expectedTranscript({"", "k", "k", "s", "x"}));
  EXPECT_TRUE(game.modesRestored());
}

TEST(GameInTerminal, EveryPromptErrorThenExit) {
  PtyProgram game = startGame();
  ASSERT_TRUE(openMenu(game));
  struct Entry {
    const char* key;
    const char* prompt;
    const char* message;
    std::vector<std::string> rejected;
    const char* accepted;
  };
  const Entry entries[] = {
      {"p", "Enter parameter count (minimum 3): ", "Parameter count must be at least 3. Please try again.",
       {"2", "-5", "abc", "99999999999"}, "3"},
      {"n", "Enter number of candidates (minimum 1): ",
       "Number of candidates must be at least 1. Please try again.", {"0", "-1", "x1"}, "1"},
      {"a", "Enter maximum absolute value (minimum 1): ",
       "Maximum absolute value must be at least 1. Please try again.", {"0", "-2147483649"}, "9"},
  };
  for (const Entry& entry : entries) {
    game.type(entry.key);
    ASSERT_TRUE(game.waitFor(entry.prompt));
    for (const std::string& reply : entry.rejected) {
      ASSERT_TRUE(game.waitForLineMode());
      game.type(reply + "\n");  // echoed as typed
      ASSERT_TRUE(game.waitFor(reply + "\r\n" + entry.message + "\r\n" + entry.prompt)) << reply;
    }
    ASSERT_TRUE(game.waitForLineMode());
    game.type(std::string(entry.accepted) + "\n");
    ASSERT_TRUE(game.waitFor("Change settings"));
  }
  ASSERT_TRUE(game.waitFor("Parameter count(p):3\r\n\tNumber of candidates(n):1\r\n\tMaximum absolute value(a):9"));
  expectCleanExit(game, "X");
}

TEST(GameInTerminal, StopKeyEndsALongSearchPromptly) {
  PtyProgram game = startGame();
  ASSERT_TRUE(openMenu(game));
  game.type("r");
  ASSERT_TRUE(game.waitFor("Order swap(r):ON"));
  game.type("p");
  ASSERT_TRUE(game.waitFor("(minimum 3): "));
  game.type("7\n");  // seven parameters in every ordering: a search of many seconds
  ASSERT_TRUE(game.waitFor("Parameter count(p):7"));
  game.type("s");
  ASSERT_TRUE(game.waitFor("\b\b\b*****\b\b\b-/|"));
  game.type("s");
  ASSERT_TRUE(game.waitFor(kFinishThenMenu, 5));
  expectCleanExit(game);
}

TEST(GameInTerminal, EndingSignalsRestoreTheTerminal) {
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
    PtyProgram game = startGame();
    ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
    if (sig == SIGINT || sig == SIGQUIT) {
      game.type(sig == SIGINT ? "\x03" : "\x1c");  // Ctrl+C, Ctrl+backslash
    } else {
      game.signal(sig);
    }
    EXPECT_TRUE(killedBy(game.wait(), sig)) << sig;
    EXPECT_TRUE(game.modesRestored()) << sig;
    EXPECT_TRUE(endsWithCursorShown(game.output)) << sig;
  }
}

TEST(GameInTerminal, ATerminalThatGoesAwayEndsTheGame) {
  PtyProgram game = startGame();
  ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
  game.hangUp();
  EXPECT_TRUE(killedBy(game.wait(), SIGHUP));
  // Started with hang-ups ignored, it ends by itself at the lost terminal.
  PtyProgram ignoring = startGame({.ignoreHangUp = true});
  ASSERT_TRUE(ignoring.waitFor("Please press any key.\a \r\n"));
  ignoring.hangUp();
  const int status = ignoring.wait();
  EXPECT_TRUE(WIFEXITED(status)) << status;
}

TEST(GameInTerminal, CtrlZRestoresTheTerminalAndResumeTakesItBack) {
  PtyProgram game = startGame({.jobControl = true});
  ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
  game.type("\x1a");
  ASSERT_TRUE(game.waitFor(std::string(console::kShowCursor) + "[stopped, modes restored]"));
  ASSERT_TRUE(game.waitFor(console::kHideCursor));  // continued: the cursor is hidden again
  game.type("k");
  ASSERT_TRUE(game.waitFor("\r\nAnswer\r\n"));
  game.type("s");
  ASSERT_TRUE(game.waitFor("Change settings"));
  expectCleanExit(game);
}

// Options set the settings the game starts with, and the seed its
// questions, the same on any machine at any time.
TEST(GameInTerminal, CommandLineSettingsAndSeed) {
  PtyProgram game = startGame({.arguments = {"--seed=7", "-p", "5", "-ra", "1000"}});
  ASSERT_TRUE(game.waitFor("\t\t573, 296, 858, 684, 802\r\n"));
  ASSERT_TRUE(openMenu(game));
  ASSERT_TRUE(game.waitFor("\tProgram exit(x)\r\n\r\n"));
  for (const char* line : {"Order swap(r):ON", "Parameter count(p):5", "Maximum absolute value(a):1000"}) {
    EXPECT_NE(game.output.find(line), std::string::npos) << line;
  }
  expectCleanExit(game);
}

// Help, version and usage errors answer at once; the game does not start.
TEST(GameCommandLine, HelpVersionAndUsageErrors) {
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"--help", 0, "Usage: arithpuzzle [OPTIONS]"},
      {"--version", 0, "arithpuzzle "},
      {"--bogus", 2, "arithpuzzle: unknown option '--bogus'\nTry 'arithpuzzle --help'"},
      {"-p 2", 2, "arithpuzzle: option '-p' needs a whole number from 3 to 2147483647, not '2'"},
  };
  for (const auto& [arguments, status, start] : cases) {
    std::string output;
    EXPECT_TRUE(exitedWith(runCommand("'" ARITHPUZZLE_BINARY "' " + arguments + " 2>&1 </dev/null", output), status))
        << arguments;
    EXPECT_EQ(output.rfind(start, 0), 0u) << output;
  }
}

// The real arithsolve with its standard output on a full device, or closed.
TEST(SolveCommand, OutputThatCannotBeWrittenIsAnError) {
  for (const char* run : {"4 2 6 2>&1 >/dev/full", "--count 4 2 6 2>&1 >/dev/full", "-h 2>&1 >/dev/full",
                          "4 2 6 2>&1 >&-"}) {
    std::string err;
    const int status = runCommand("'" ARITHSOLVE_BINARY "' " + std::string(run), err);
    EXPECT_TRUE(exitedWith(status, 1)) << run << ": " << status;
    EXPECT_NE(("\n" + err).find("\narithsolve: write error: "), std::string::npos) << run << ": " << err;
  }
}

// Runs the game with standard input from a file or pipe and output to
// /dev/null; returns its wait status, or -1 if it did not end by itself.
int runWithInput(const std::string& input, bool fromPipe) {
  int fds[2] = {-1, -1};
  const int devnull = open("/dev/null", O_RDWR);
  if (fromPipe && pipe(fds) != 0) return -1;
  const pid_t pid = startProgram(ARITHPUZZLE_BINARY, {}, fromPipe ? fds[0] : devnull, devnull);
  close(devnull);
  if (fromPipe) {
    close(fds[0]);
    if (write(fds[1], input.data(), input.size()) < 0) return -1;
    close(fds[1]);
  }
  return waitForExit(pid);
}

TEST(GameWithoutTerminal, EndsByItselfWhenInputEnds) {
  EXPECT_TRUE(exitedWith(runWithInput("", false), 0));                // /dev/null
  EXPECT_TRUE(exitedWith(runWithInput("kk", true), 0));               // keys, then the end
  EXPECT_TRUE(exitedWith(runWithInput("sp5\nn", true), 0));           // the end at a prompt
  EXPECT_TRUE(exitedWith(runWithInput("sp5\nx", true), 0));
}

}  // namespace
