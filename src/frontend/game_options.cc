#include "frontend/game_options.h"

#include <ctime>

#include "options/command_line.h"

namespace frontend {
namespace {

constexpr options::OptionName kSeed{'\0', "seed", true};
constexpr options::OptionName kOptions[] = {
    options::kOrderSwap,      options::kComputerOperator, options::kAllowNegative,
    options::kIncludesMulDiv, options::kParameterCount,   options::kCandidateCount,
    options::kMaxAbsValue,    kSeed,                      options::kJobs,
    options::kExact,          options::kFloat,            options::kHelp,
    options::kVersion};

// splitmix64: spreads consecutive numbers over all 64 bits.
uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

}  // namespace

const char kGameUsage[] =
    "Usage: arithpuzzle [OPTIONS]\n"
    "Arithmetic puzzles on the terminal: make the answer from the numbers, each\n"
    "used once, with + - * / and parentheses. Any key shows the answer, the next\n"
    "key the next question; s opens the settings menu, whose x ends the game.\n"
    "\n"
    "  -r, --order-swap         the numbers may be used in any order\n"
    "  -c, --computer-operator  write * and / instead of the signs\n"
    "  -m, --allow-negative     allow negative numbers and answers\n"
    "  -i, --includes-muldiv    only expressions with a multiplication or division\n"
    "  -p, --parameters N       how many numbers, at least 3 (default 4)\n"
    "  -n, --candidates N       the most expressions an answer may have, at least 1\n"
    "                           (default 30)\n"
    "  -a, --max-abs N          largest magnitude of numbers and answers, at least 1\n"
    "                           (default 100)\n"
    "      --seed S             the same questions in every run with this seed\n"
    "                           (0 to 18446744073709551615); without it, questions\n"
    "                           come from the clock\n"
    "      --exact              judge values exactly, as fractions: every answer\n"
    "                           screen is then mathematically true\n"
    "      --float              judge values by their doubles, one rounding per\n"
    "                           operation (the default)\n"
    "  -j, --jobs N             search on N threads (default: every processor the\n"
    "                           game may use, by its CPU affinity and cgroup quota)\n"
    "  -h, --help               show this help\n"
    "      --version            show the version\n";

std::optional<GameOptions> parseGameArguments(const std::vector<std::string>& args, std::string& error) {
  const auto line = options::splitCommandLine(args, kOptions, false, error);
  if (!line) return std::nullopt;
  if (!line->operands.empty()) {
    error = "unexpected argument '" + line->operands.front() + "'";
    return std::nullopt;
  }
  GameOptions result;
  for (const options::GivenOption& option : line->options) {
    if (option.is(options::kHelp)) {
      result.help = true;
    } else if (option.is(options::kVersion)) {
      result.version = true;
    } else if (option.is(kSeed)) {
      result.seed = options::parseNumber<uint64_t>(option.value);
      if (!result.seed) {
        error = "option '" + option.written + "' needs a whole number from 0 to 18446744073709551615, not '" +
                option.value + "'";
        return std::nullopt;
      }
    } else if (option.is(options::kExact) || option.is(options::kFloat)) {
      result.arithmetic = option.is(options::kExact) ? generator::Arithmetic::Exact : generator::Arithmetic::Float;
    } else if (option.is(options::kJobs)) {
      result.jobs = options::parseJobs(option, error);
      if (!result.jobs) return std::nullopt;
    } else if (!options::applySetting(option, result.settings, error)) {
      return std::nullopt;
    }
  }
  return result;
}

QuestionSeeds clockSeeds() {
  return [] { return static_cast<uint64_t>(std::time(nullptr)); };
}

QuestionSeeds seededQuestions(uint64_t seed) {
  return [seed, question = uint64_t{0}]() mutable { return mix(seed ^ mix(question++)); };
}

}  // namespace frontend
