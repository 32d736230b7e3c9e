// The command lines of both programs through their one parser: the GNU
// forms, and usage errors that name the option at fault.
#include "options/command_line.h"

#include <gtest/gtest.h>

#include "frontend/game_options.h"
#include "solver/solve_command.h"

namespace {

using Args = std::vector<std::string>;

struct Parsed {
  std::optional<generator::Settings> settings;
  std::string error;
};

// What each program makes of the same options.
std::vector<Parsed> parseBoth(const Args& args) {
  Parsed game, solve;
  if (const auto options = frontend::parseGameArguments(args, game.error)) game.settings = options->settings;
  Args solveArgs = {"1", "2", "3"};
  solveArgs.insert(solveArgs.end(), args.begin(), args.end());
  if (const auto options = solver::parseSolveArguments(solveArgs, solve.error)) solve.settings = options->settings;
  return {game, solve};
}

TEST(CommandLine, SameFormsInBothPrograms) {
  for (const auto& [settings, error] : parseBoth({"-rc", "-ma5", "--includes-muldiv", "--max-abs=7", "--"})) {
    ASSERT_TRUE(settings) << error;
    EXPECT_TRUE(settings->orderSwap && settings->computerOperator && settings->allowNegative &&
                settings->includesMulDiv);
    EXPECT_EQ(settings->maxAbsValue, 7);  // the last one given counts
  }
}

TEST(CommandLine, UsageErrorsNameTheOption) {
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"-x"}, "'-x'"},      {{"--bogus"}, "'--bogus'"},        {{"-a"}, "'-a' needs a value"},
      {{"-a", "0"}, "'-a'"}, {{"--max-abs=1e3"}, "'--max-abs'"}, {{"--order-swap=1"}, "'--order-swap' takes no value"},
  };
  for (const auto& [args, named] : cases) {
    for (const auto& [settings, error] : parseBoth(args)) {
      EXPECT_FALSE(settings) << args[0];
      EXPECT_NE(error.find(named), std::string::npos) << error;
    }
  }
}

TEST(CommandLine, GameCountsSeedAndOperands) {
  std::string error;
  const auto options = frontend::parseGameArguments({"-p", "5", "--candidates=1", "--seed", "42"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->settings.parameterCount, 5);
  EXPECT_EQ(options->settings.candidateCount, 1);
  EXPECT_EQ(options->seed, 42u);
  for (const Args& bad : {Args{"-p", "2"}, Args{"-n", "0"}, Args{"--seed=-1"}, Args{"5"}, Args{"-5"}}) {
    EXPECT_FALSE(frontend::parseGameArguments(bad, error)) << bad[0];
  }
}

}  // namespace
