// The command lines of both programs through their one parser: the GNU
// forms, and usage errors that name the option at fault.
#include "options/command_line.h"

#include <gtest/gtest.h>

#include "frontend/game_options.h"
#include "solver/solve_command.h"

namespace {

using Args = std::vector<std::string>;
using Parse = std::optional<generator::Settings> (*)(const Args&, std::string&);

// The game's and arithsolve's settings from the same options.
std::optional<generator::Settings> gameSettings(const Args& args, std::string& error) {
  const auto options = frontend::parseGameArguments(args, error);
  return options ? std::optional(options->settings) : std::nullopt;
}
std::optional<generator::Settings> solveSettings(const Args& given, std::string& error) {
  Args args = {"1", "2", "3"};
  args.insert(args.end(), given.begin(), given.end());
  const auto options = solver::parseSolveArguments(args, error);
  return options ? std::optional(options->settings) : std::nullopt;
}

TEST(CommandLine, SameFormsInBothPrograms) {
  for (Parse parse : {gameSettings, solveSettings}) {
    std::string error;
    const auto settings = parse({"-rc", "-a5", "--allow-negative", "--max-abs=7", "-i", "--"}, error);
    ASSERT_TRUE(settings) << error;
    EXPECT_TRUE(settings->orderSwap && settings->computerOperator && settings->allowNegative &&
                settings->includesMulDiv);
    EXPECT_EQ(settings->maxAbsValue, 7);  // the last one given counts
    const auto separate = parse({"-ma", "9"}, error);
    ASSERT_TRUE(separate) << error;
    EXPECT_EQ(separate->maxAbsValue, 9);
  }
}

TEST(CommandLine, UsageErrorsNameTheOption) {
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"-x"}, "'-x'"},           {{"--bogus"}, "'--bogus'"},      {{"-a"}, "'-a' needs a value"},
      {{"-a", "0"}, "'-a'"},      {{"--max-abs=1e3"}, "'--max-abs'"}, {{"-r=1"}, "'-='"},
      {{"--order-swap=1"}, "'--order-swap' takes no value"},
  };
  for (Parse parse : {gameSettings, solveSettings}) {
    for (const auto& [args, named] : cases) {
      std::string error;
      EXPECT_FALSE(parse(args, error)) << args[0];
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
  EXPECT_TRUE(frontend::parseGameArguments({"--help"}, error)->help);
  EXPECT_TRUE(frontend::parseGameArguments({"--version"}, error)->version);
}

}  // namespace
