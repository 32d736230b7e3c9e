// The game's command line: its starting settings, a seed that makes a run
// of questions again, help and version.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "generator/search.h"
#include "generator/settings.h"

namespace frontend {

struct GameOptions {
  generator::Settings settings;
  std::optional<uint64_t> seed;
  std::optional<int32_t> jobs;  // threads of the search; all processors when unset
  generator::Arithmetic arithmetic = generator::Arithmetic::Float;
  bool help = false;
  bool version = false;
};

extern const char kGameUsage[];

// Parses the arguments after the program name; on bad usage returns
// nothing and sets error to what is wrong.
std::optional<GameOptions> parseGameArguments(const std::vector<std::string>& args, std::string& error);

// Where each question's random numbers start: the clock's second, as
// without a seed, or question by question from the run's seed, the same on
// any machine.
using QuestionSeeds = std::function<uint64_t()>;
QuestionSeeds clockSeeds();
QuestionSeeds seededQuestions(uint64_t seed);

}  // namespace frontend
