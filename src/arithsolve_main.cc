// arithsolve: every expression over the numbers on the command line.
#include <unistd.h>

#include <clocale>
#include <iostream>

#include "console/text.h"
#include "solver/solve_command.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return solver::runSolveCommand(args, {std::cout, std::cerr, console::localeShowsShiftJis(), STDERR_FILENO});
}
