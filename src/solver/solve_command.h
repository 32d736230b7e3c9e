// The arithsolve command: one search pass over numbers given on the
// command line, printing every collected expression.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "generator/search.h"
#include "generator/settings.h"

namespace solver {

struct SolveOptions {
  generator::Settings settings;
  std::vector<int32_t> numbers;
  std::optional<int32_t> target;
  std::optional<int32_t> jobs;  // threads of the search; all processors when unset
  generator::Arithmetic arithmetic = generator::Arithmetic::Exact;
  bool countOnly = false;
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name; on bad usage returns
// nothing and sets error to what is wrong.
std::optional<SolveOptions> parseSolveArguments(const std::vector<std::string>& args,
                                                std::string& error);

struct SolveOutput {
  std::ostream& out;
  std::ostream& err;
  bool shiftJisTerminal;  // the signs pass through as Shift_JIS bytes
  int progressFd;         // where a progress line may go, or -1
  // How long the search runs before the progress line shows.
  std::chrono::milliseconds progressDelay = std::chrono::milliseconds(500);
  // Whether out goes to the terminal the progress line is drawn on.
  bool sharesProgressTerminal = false;
};

// Runs the command; returns the exit status.
int runSolveCommand(const std::vector<std::string>& args, const SolveOutput& output);

}  // namespace solver
