// The real arithpuzzle binary in a pseudo-terminal, used as a person would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

bool sameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

class PtyProgram {
 public:
  explicit PtyProgram(const char* binary) {
    EXPECT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    tcgetattr(slave_, &before_);
    pid_ = fork();
    if (pid_ == 0) {
      close(master_);
      login_tty(slave_);
      setenv("LANG", "C.UTF-8", 1);
      execl(binary, binary, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~PtyProgram() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(master_);
    close(slave_);
  }

  // Reads output until it contains text; false after a time-out.
  bool waitFor(const std::string& text, int seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (output.find(text, consumed_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || !readSome(100)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
      }
    }
    consumed_ = output.find(text, consumed_) + text.size();
    return true;
  }
  void type(const std::string& keys) { ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }
  // Waits for the program to end; returns its wait status.
  int wait() {
    int status = 0;
    for (int i = 0; i < 200; ++i) {
      readSome(10);
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        while (readSome(10)) {
        }
        return status;
      }
    }
    ADD_FAILURE() << "the program did not end";
    return -1;
  }
  bool modesRestored() {
    termios after;
    tcgetattr(slave_, &after);
    return sameModes(before_, after);
  }

  std::string output;

 private:
  bool readSome(int milliseconds) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, milliseconds) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output.append(buffer, size_t(n));
    return true;
  }

  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  bool exited_ = false;
  size_t consumed_ = 0;
  termios before_{};
};

TEST(RealGame, QuestionAnswerMenuPromptAndExit) {
  PtyProgram game(ARITHPUZZLE_BINARY);
  ASSERT_TRUE(game.waitFor("\x1b[?25l"));
  ASSERT_TRUE(game.waitFor("\x1b[H\x1b[2J\x1b[3JQuestion\r\n\tParameters:\r\n\t\t"));
  ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
  game.type("k");
  ASSERT_TRUE(game.waitFor("\r\nAnswer\r\n\tExample"));
  ASSERT_TRUE(game.waitFor("Please press any key.\r\n"));
  game.type("S");
  ASSERT_TRUE(game.waitFor("\x1b[?25h\x1b[H\x1b[2J\x1b[3JChange settings\r\n\tOrder swap(r):OFF"));
  game.type("r");
  ASSERT_TRUE(game.waitFor("Order swap(r):ON"));
  game.type("p");
  ASSERT_TRUE(game.waitFor("Enter parameter count (minimum 3): "));
  usleep(200000);  // typed once the prompt waits for a line, so it is echoed
  game.type("5\n");
  ASSERT_TRUE(game.waitFor("5\r\n\x1b[?25h"));
  ASSERT_TRUE(game.waitFor("Parameter count(p):5"));
  game.type("x");
  const int status = game.wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(game.modesRestored());
}

TEST(RealGame, CtrlCRestoresTheTerminalAndEndsBySignal) {
  PtyProgram game(ARITHPUZZLE_BINARY);
  ASSERT_TRUE(game.waitFor("Please press any key.\a \r\n"));
  game.type("\x03");
  const int status = game.wait();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(game.modesRestored());
  EXPECT_EQ(game.output.substr(game.output.size() - 6), "\x1b[?25h");
}

TEST(RealGame, EndsByItselfWhenInputIsAtItsEnd) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    execl(ARITHPUZZLE_BINARY, ARITHPUZZLE_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 2000 && !ended; ++i) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) usleep(10000);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
