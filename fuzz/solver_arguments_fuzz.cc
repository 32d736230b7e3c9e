// Both programs' argument parsing on arbitrary argument lists.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/game_options.h"
#include "solver/solve_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size && args.size() <= 16; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  std::string error;
  if (const auto game = frontend::parseGameArguments(args, error)) {
    const generator::Settings& s = game->settings;
    if (s.parameterCount < 3 || s.candidateCount < 1 || s.maxAbsValue < 1) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  error.clear();
  const auto options = solver::parseSolveArguments(args, error);
  if (!options) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (options->help || options->version) return 0;
  if (options->numbers.size() < 3 || options->settings.maxAbsValue < 1 ||
      options->settings.parameterCount != static_cast<int32_t>(options->numbers.size())) {
    std::abort();
  }
  return 0;
}
