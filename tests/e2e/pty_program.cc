#include "e2e/pty_program.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <cstring>

namespace testing_support {
namespace {

bool sameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

void say(const char* text) {
  if (write(STDOUT_FILENO, text, std::strlen(text)) < 0) _exit(126);
}

[[noreturn]] void execProgram(const std::string& binary, const std::vector<std::string>& arguments) {
  std::vector<char*> argv = {const_cast<char*>(binary.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(binary.c_str(), argv.data());
  _exit(127);
}

// The small shell: runs the program as a foreground job, reports the modes
// whenever it stops, continues it, and ends as the program ended.
[[noreturn]] void runAsJob(const std::string& binary, const std::vector<std::string>& arguments) {
  termios before;
  tcgetattr(STDIN_FILENO, &before);
  signal(SIGTTOU, SIG_IGN);
  const pid_t job = fork();
  if (job == 0) {
    setpgid(0, 0);
    tcsetpgrp(STDIN_FILENO, getpid());
    signal(SIGTTOU, SIG_DFL);
    execProgram(binary, arguments);
  }
  setpgid(job, job);
  tcsetpgrp(STDIN_FILENO, job);
  for (;;) {
    int status = 0;
    if (waitpid(job, &status, WUNTRACED) != job) _exit(125);
    if (WIFSTOPPED(status)) {
      tcsetpgrp(STDIN_FILENO, getpgrp());
      termios now;
      tcgetattr(STDIN_FILENO, &now);
      say(sameModes(before, now) ? "[stopped, modes restored]" : "[stopped, modes changed]");
      tcsetpgrp(STDIN_FILENO, job);
      kill(job, SIGCONT);
      continue;
    }
    if (WIFEXITED(status)) _exit(WEXITSTATUS(status));
    signal(WTERMSIG(status), SIG_DFL);
    kill(getpid(), WTERMSIG(status));
    _exit(124);
  }
}

}  // namespace

pid_t startProgram(const std::string& binary, const std::vector<std::string>& arguments, int in, int out) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  dup2(in, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  closefrom(STDERR_FILENO + 1);
  execProgram(binary, arguments);
}

int runCommand(const std::string& command, std::string& output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[256];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  return pclose(pipe);
}

int waitForExit(pid_t pid, int seconds) {
  int status = 0;
  for (int i = 0; i < seconds * 100; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

PtyProgram::PtyProgram(const std::string& binary, const Options& options) {
  if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
  if (options.startModes) changeModes(options.startModes);
  tcgetattr(slave_, &before_);
  pid_ = fork();
  if (pid_ != 0) return;
  close(master_);
  login_tty(slave_);
  setenv("LANG", "C.UTF-8", 1);
  for (const std::string& pair : options.environment) putenv(strdup(pair.c_str()));
  // As a terminal window starts its shell: default signal handling, even
  // when these tests run with some signals ignored, as background jobs do.
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGPIPE}) ::signal(sig, SIG_DFL);
  if (options.ignoreHangUp) ::signal(SIGHUP, SIG_IGN);
  if (options.nonBlockingInput) fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  const rlimit noCoreFiles{0, 0};  // from the signals the tests send
  setrlimit(RLIMIT_CORE, &noCoreFiles);
  if (options.addressSpaceLimit != 0) {
    const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
    setrlimit(RLIMIT_AS, &limit);
  }
  if (options.jobControl) runAsJob(binary, options.arguments);
  execProgram(binary, options.arguments);
}

PtyProgram::~PtyProgram() {
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  close(slave_);
}

bool PtyProgram::waitFor(const std::string& text, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (output.find(text, consumed_) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    readSome(100);
  }
  consumed_ = output.find(text, consumed_) + text.size();
  return true;
}

void PtyProgram::type(const std::string& keys) {
  if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
    output += "[typing failed]";
  }
}

bool PtyProgram::waitForLineMode(int seconds) { return waitForModes(true, seconds); }

bool PtyProgram::waitForKeyMode(int seconds) { return waitForModes(false, seconds); }

bool PtyProgram::waitForModes(bool lineMode, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    termios modes;
    tcgetattr(slave_, &modes);
    if ((modes.c_lflag & (ICANON | ECHO)) == (lineMode ? ICANON | ECHO : 0)) return true;
    readSome(5);
  }
  return false;
}

void PtyProgram::signal(int sig) { kill(pid_, sig); }

void PtyProgram::changeModes(void (*change)(termios*)) {
  termios modes;
  tcgetattr(slave_, &modes);
  change(&modes);
  tcsetattr(slave_, TCSANOW, &modes);
}

void PtyProgram::hangUp() {
  close(master_);
  master_ = -1;
}

int PtyProgram::wait(int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    readSome(10);
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      while (readSome(10)) {
      }
      return status;
    }
  }
  return -1;
}

bool PtyProgram::modesRestored() const {
  termios after;
  tcgetattr(slave_, &after);
  return sameModes(before_, after);
}

bool PtyProgram::readSome(int milliseconds) {
  if (master_ < 0) {
    usleep(static_cast<useconds_t>(milliseconds) * 1000);
    return false;
  }
  pollfd fd{master_, POLLIN, 0};
  if (poll(&fd, 1, milliseconds) <= 0) return false;
  char buffer[4096];
  const ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;
  output.append(buffer, static_cast<size_t>(n));
  return true;
}

}  // namespace testing_support
