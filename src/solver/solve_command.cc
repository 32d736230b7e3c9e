#include "solver/solve_command.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "console/progress_line.h"
#include "console/text.h"
#include "generator/answer.h"
#include "generator/fast_search.h"
#include "generator/orderings.h"
#include "generator/tables.h"
#include "options/command_line.h"

namespace solver {
namespace {

constexpr char kUsage[] =
    "Usage: arithsolve [OPTIONS] NUMBER NUMBER NUMBER [NUMBER ...]\n"
    "Prints every expression over the numbers, each used once, in the order\n"
    "given (in every order with -r), with + - * / and parentheses, whose value\n"
    "is a whole number in range.\n"
    "\n"
    "  -r, --order-swap         search every ordering of the numbers\n"
    "  -c, --computer-operator  write * and / instead of the signs\n"
    "  -m, --allow-negative     allow negative values\n"
    "  -i, --includes-muldiv    only expressions with a multiplication or division\n"
    "  -a, --max-abs N          largest magnitude of a value (default 100)\n"
    "  -t, --target N           print only the expressions whose value is N\n"
    "      --count              print only a summary line (with -t, the count of N)\n"
    "  -h, --help               show this help\n"
    "      --version            show the version\n";

constexpr options::OptionName kTarget{'t', "target", true};
constexpr options::OptionName kCount{'\0', "count", false};
constexpr options::OptionName kOptions[] = {
    options::kOrderSwap, options::kComputerOperator, options::kAllowNegative, options::kIncludesMulDiv,
    options::kMaxAbsValue, kTarget, kCount, options::kHelp, options::kVersion};

// Applies one option of arithsolve's; false with error set for a bad value.
bool applyOption(const options::GivenOption& option, SolveOptions& result, std::string& error) {
  if (option.is(options::kHelp)) return result.help = true;
  if (option.is(options::kVersion)) return result.version = true;
  if (option.is(kCount)) return result.countOnly = true;
  if (!option.is(kTarget)) return options::applySetting(option, result.settings, error);
  result.target = options::parseInt32(option.value);
  if (!result.target) error = "option '" + option.written + "' needs a 32-bit integer, not '" + option.value + "'";
  return result.target.has_value();
}

// Finished orderings drive the progress line, which the polls keep fresh;
// nothing stops the search.
class SolveMonitor final : public generator::SearchMonitor {
 public:
  SolveMonitor(const SolveOutput& output, int64_t total)
      : progress_(output.progressFd, output.progressDelay), total_(total) {}
  void rowStarted(int64_t) override {}
  void orderingFinished() override { progress_.update(++done_, total_); }
  bool shouldStop() override {
    progress_.update(done_, total_);
    return false;
  }

 private:
  console::ProgressLine progress_;
  int64_t total_;
  int64_t done_ = 0;
};

void printExpressions(const generator::Question& q, const SolveOptions& options,
                      const SolveOutput& output) {
  std::string text;
  for (size_t i = 0; i < q.CandidateExpressions.size(); ++i) {
    if (options.target && q.CandidateAnswers[i] != *options.target) continue;
    text += q.CandidateExpressions[i];
    text += " = " + std::to_string(q.CandidateAnswers[i]) + "\n";
    if (text.size() >= (1 << 16)) {
      output.out << console::toTerminalBytes(text, output.shiftJisTerminal);
      text.clear();
      if (!output.out) return;  // the write error is reported at the end
    }
  }
  output.out << console::toTerminalBytes(text, output.shiftJisTerminal);
}

void printSummary(const generator::Question& q, const SolveOptions& options, std::ostream& out) {
  if (options.target) {
    const auto count = std::count(q.CandidateAnswers.begin(), q.CandidateAnswers.end(), *options.target);
    out << count << " expressions of value " << *options.target << "\n";
    return;
  }
  out << q.CandidateExpressions.size() << " expressions";
  if (!q.CandidateAnswers.empty()) {
    const generator::AnswerChoice choice = generator::selectAnswer(q.CandidateAnswers);
    out << ", rarest value " << choice.answer << " (" << choice.exampleCount << ")";
  }
  out << "\n";
}

// Runs the search over the numbers and prints what it collected.
void solve(const SolveOptions& options, const SolveOutput& output) {
  const generator::Tables tables = generator::buildTables(options.settings.parameterCount);
  generator::Question question;
  question.parameters = options.numbers;
  {
    // The progress line is erased when the monitor goes, before any output.
    SolveMonitor monitor(output,
                         generator::distinctOrderingCount(question.parameters, options.settings.orderSwap));
    const generator::SearchContext context{options.settings, tables, monitor};
    generator::runSearchPass(question.parameters, context,
                             {question.CandidateExpressions, question.CandidateAnswers});
  }
  if (options.countOnly) {
    printSummary(question, options, output.out);
  } else {
    printExpressions(question, options, output);
  }
  output.out.flush();
}

// Output that could not be written is a failure, not a success: status 1
// and what went wrong on standard error.
int reportWriteError(const SolveOutput& output) {
  if (output.out.flush()) return 0;
  // errno still tells why the write that failed the stream failed.
  const int error = errno;
  output.err << "arithsolve: write error: " << (error != 0 ? std::strerror(error) : "output failed") << "\n";
  return 1;
}

}  // namespace

std::optional<SolveOptions> parseSolveArguments(const std::vector<std::string>& args,
                                                std::string& error) {
  const auto line = options::splitCommandLine(args, kOptions, true, error);
  if (!line) return std::nullopt;
  SolveOptions result;
  for (const options::GivenOption& option : line->options) {
    if (!applyOption(option, result, error)) return std::nullopt;
  }
  if (result.help || result.version) return result;
  for (const std::string& operand : line->operands) {
    const std::optional<int32_t> number = options::parseInt32(operand);
    if (!number) {
      error = "not a 32-bit integer: '" + operand + "'";
      return std::nullopt;
    }
    result.numbers.push_back(*number);
  }
  if (result.numbers.size() < 3) {
    error = "at least 3 numbers are needed";
    return std::nullopt;
  }
  result.settings.parameterCount = static_cast<int32_t>(result.numbers.size());
  return result;
}

int runSolveCommand(const std::vector<std::string>& args, const SolveOutput& output) {
  std::string error;
  const std::optional<SolveOptions> options = parseSolveArguments(args, error);
  if (!options) {
    output.err << "arithsolve: " << error << "\nTry 'arithsolve --help' for more information.\n";
    return 2;
  }
  try {
    if (options->help) {
      output.out << kUsage;
    } else if (options->version) {
      output.out << options::versionLine("arithsolve");
    } else {
      solve(*options, output);
    }
  } catch (const std::bad_alloc&) {
    output.err << "Too many numbers.\n";
    return 1;
  }
  return reportWriteError(output);
}

}  // namespace solver
