// arithsolve: every expression over the numbers on the command line.
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <iostream>

#include "console/text.h"
#include "solver/solve_command.h"

// Whether two descriptors are the same terminal.
static bool sameTerminal(int a, int b) {
  struct stat sa {}, sb {};
  return isatty(a) && isatty(b) && fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::ios::sync_with_stdio(false);
  // A closed pipe is noticed by the write, so that the progress line can be
  // erased before the command ends.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  solver::SolveOutput output{std::cout, std::cerr, console::localeShowsShiftJis(), STDERR_FILENO};
  output.sharesProgressTerminal = sameTerminal(STDOUT_FILENO, STDERR_FILENO);
  return solver::runSolveCommand(args, output);
}
