// Runs a real binary in a pseudo-terminal, as a person at a terminal would.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>

#include <string>
#include <vector>

#include "console/sequences.h"

namespace testing_support {

inline bool exitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
inline bool killedBy(int status, int sig) { return WIFSIGNALED(status) && WTERMSIG(status) == sig; }
// Whether the output ends with the cursor shown.
inline bool endsWithCursorShown(const std::string& output) {
  return output.rfind(console::kShowCursor) != std::string::npos &&
         output.rfind(console::kShowCursor) > output.rfind(console::kHideCursor);
}

// Runs a shell command and returns its wait status; what it writes on its
// standard output goes to output.
int runCommand(const std::string& command, std::string& output);

// Starts a program with its standard input and output on the descriptors
// given, and no other descriptor of the test's.
pid_t startProgram(const std::string& binary, const std::vector<std::string>& arguments, int in, int out);
// Waits at most the seconds given for the program to end: its wait status,
// or -1 after killing it.
int waitForExit(pid_t pid, int seconds = 30);

class PtyProgram {
 public:
  struct Options {
    std::vector<std::string> environment = {};  // NAME=value pairs added
    std::vector<std::string> arguments = {};    // after the program's name
    // Runs the program as a job of a small shell that reports, on the
    // terminal, whether the modes were restored while the job was stopped,
    // and then continues it.
    bool jobControl = false;
    // Starts the program with SIGHUP ignored, as nohup does.
    bool ignoreHangUp = false;
    // Changes the terminal's modes before the program starts; the changed
    // modes are then the ones to restore.
    void (*startModes)(termios*) = nullptr;
    // Sets O_NONBLOCK on the terminal's open file, as a program run earlier may leave it.
    bool nonBlockingInput = false;
    // An address-space limit in bytes, as ulimit -v sets it (0: none).
    rlim_t addressSpaceLimit = 0;
  };

  PtyProgram(const std::string& binary, const Options& options);
  ~PtyProgram();
  PtyProgram(const PtyProgram&) = delete;
  PtyProgram& operator=(const PtyProgram&) = delete;

  // Reads output until text appears after what earlier waits consumed;
  // false after the time-out.
  bool waitFor(const std::string& text, int seconds = 30);
  void type(const std::string& keys);
  // Waits until the program reads typed lines (canonical mode with echo),
  // so that what is typed next is echoed; false after the time-out.
  bool waitForLineMode(int seconds = 30);
  // Waits until the program reads single keys (neither canonical mode nor echo).
  bool waitForKeyMode(int seconds = 30);
  void signal(int sig);
  // Changes the terminal's modes now, as a shell does while a job is stopped.
  void changeModes(void (*change)(termios*));
  // Closes the terminal's other side, as a closed terminal window does.
  void hangUp();
  // Waits for the program to end and returns its wait status.
  int wait(int seconds = 30);
  // Whether the terminal's modes are as they were before the program ran.
  bool modesRestored() const;

  std::string output;

 private:
  bool readSome(int milliseconds);
  bool waitForModes(bool lineMode, int seconds);

  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  bool ended_ = false;
  size_t consumed_ = 0;
  termios before_{};
};

}  // namespace testing_support
