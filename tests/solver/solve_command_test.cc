#include "solver/solve_command.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <sstream>

#include "console/sequences.h"
#include "console/text.h"
#include "generator/search_support.h"

namespace {

struct SolveRun {
  int status;
  std::string out;
  std::string err;
};

SolveRun solve(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = solver::runSolveCommand(args, {out, err, false, -1});
  return {status, out.str(), err.str()};
}

TEST(Solve, WorkedExampleAndItsSummary) {
  const SolveRun run = solve({"4", "2", "6"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "4+2+6 = 12\n4+2-6 = 0\n(4+2)×6 = 36\n(4+2)÷6 = 1\n4-2+6 = 8\n(4-2)×6 = 12\n"
            "4×2+6 = 14\n4×2-6 = 2\n4×2×6 = 48\n4÷2+6 = 8\n4÷2×6 = 12\n4+2×6 = 16\n"
            "4-(2-6) = 8\n4×(2+6) = 32\n4÷(2÷6) = 12\n");
  EXPECT_EQ(solve({"--count", "4", "2", "6"}).out, "15 expressions, rarest value 0 (1)\n");
  EXPECT_EQ(solve({"-t", "8", "4", "2", "6"}).out, "4-2+6 = 8\n4÷2+6 = 8\n4-(2-6) = 8\n");
  EXPECT_EQ(solve({"--count", "-a", "1", "50", "70", "90"}).out, "0 expressions\n");
}

// Every combination of the four switches gives the game's own pass.
TEST(Solve, MatchesTheGamesSearchForEverySwitch) {
  const std::vector<int32_t> numbers = {-3, 5, 7, 5};
  for (int bits = 0; bits < 16; ++bits) {
    generator::Settings settings;
    settings.maxAbsValue = 40;
    std::vector<std::string> args = {"--float", "--max-abs", "40"};
    auto flag = [&](int bit, bool& field, const char* option) {
      if (!(bits & bit)) return;
      field = true;
      args.push_back(option);
    };
    flag(1, settings.orderSwap, "-r");
    flag(2, settings.computerOperator, "--computer-operator");
    flag(4, settings.allowNegative, "-m");
    flag(8, settings.includesMulDiv, "--includes-muldiv");
    for (int32_t n : numbers) args.push_back(std::to_string(n));

    const auto pass = testing_support::runPass(generator::runSearchPassReference, numbers, settings);
    std::string expected;
    for (size_t i = 0; i < pass.expressions.size(); ++i) {
      expected += console::toTerminalBytes(pass.expressions[i], false) + " = " +
                  std::to_string(pass.answers[i]) + "\n";
    }
    const SolveRun run = solve(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected) << bits;
  }
}

TEST(Solve, OptionsAndNumbers) {
  std::string error;
  auto options = solver::parseSolveArguments({"-rcmi", "-a5", "--target=-2", "-3", "--", "-4", "7"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->settings.orderSwap && options->settings.computerOperator &&
              options->settings.allowNegative && options->settings.includesMulDiv);
  EXPECT_EQ(options->settings.maxAbsValue, 5);
  EXPECT_EQ(options->target, -2);
  EXPECT_EQ(options->numbers, (std::vector<int32_t>{-3, -4, 7}));
  EXPECT_EQ(options->settings.parameterCount, 3);
  EXPECT_EQ(solve({"-h"}).status, 0);
  EXPECT_NE(solve({"--help"}).out.find("Usage: arithsolve"), std::string::npos);
}

TEST(Solve, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"1", "2"},           {"-x", "1", "2", "3"},     {"--frobnicate", "1", "2", "3"},
      {"1", "2", "abc"},    {"1", "2", "3", "-a"},     {"-a", "0", "1", "2", "3"},
      {"-a", "x", "1", "2", "3"}, {"1", "2", "2147483648"}, {"1", "2", "-2147483649"},
      {"-t", "1.5", "1", "2", "3"}, {"--count=1", "1", "2", "3"}, {"1", "2", "+3"},
  };
  for (const auto& args : bad) {
    const SolveRun run = solve(args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("arithsolve: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\nTry 'arithsolve --help' for more information.\n"), std::string::npos);
  }
  EXPECT_EQ(solve({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}).err,
            "Too many numbers.\n");
}

// Writes a stream's bytes straight to a file descriptor.
class FdBuffer final : public std::streambuf {
 public:
  explicit FdBuffer(int fd) : fd_(fd) {}

 protected:
  int_type overflow(int_type c) override {
    const char byte = static_cast<char>(c);
    return c == traits_type::eof() || write(fd_, &byte, 1) == 1 ? traits_type::not_eof(c) : traits_type::eof();
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    return write(fd_, data, static_cast<size_t>(size));
  }

 private:
  int fd_;
};

TEST(Solve, ProgressLineIsGoneBeforeTheResults) {
  int master = -1, terminal = -1;
  ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  FdBuffer buffer(terminal);
  std::ostream out(&buffer);
  std::ostringstream err;
  const int status = solver::runSolveCommand({"--count", "-r", "1", "2", "3", "4", "5"},
                                             {out, err, false, terminal, std::chrono::milliseconds(0)});
  EXPECT_EQ(status, 0);
  fcntl(master, F_SETFL, O_NONBLOCK);
  std::string screen;
  char chunk[4096];
  for (ssize_t n; (n = read(master, chunk, sizeof chunk)) > 0;) screen.append(chunk, static_cast<size_t>(n));
  close(master);
  close(terminal);
  const size_t results = screen.find(" expressions, rarest value");
  ASSERT_NE(results, std::string::npos) << screen;
  EXPECT_NE(screen.find("searched "), std::string::npos);
  std::string before = screen.substr(0, results);
  before.erase(before.find_last_not_of("0123456789") + 1);  // the count itself
  EXPECT_TRUE(before.ends_with(console::kEraseLine)) << "the progress line still stood before the results";
}

}  // namespace
