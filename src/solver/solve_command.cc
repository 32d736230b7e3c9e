#include "solver/solve_command.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
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
    "      --exact              judge values exactly, as fractions, and reject any\n"
    "                           division by zero (the default): 8/(3-8/3) = 24\n"
    "      --float              judge values by their doubles, one rounding per\n"
    "                           operation, as the game does by default\n"
    "  -j, --jobs N             search on N threads (default: every processor the\n"
    "                           command may use, by its CPU affinity and cgroup quota)\n"
    "  -h, --help               show this help\n"
    "      --version            show the version\n";

constexpr options::OptionName kTarget{'t', "target", true};
constexpr options::OptionName kCount{'\0', "count", false};
constexpr options::OptionName kOptions[] = {
    options::kOrderSwap, options::kComputerOperator, options::kAllowNegative, options::kIncludesMulDiv,
    options::kMaxAbsValue, kTarget, kCount, options::kExact, options::kFloat, options::kJobs, options::kHelp,
    options::kVersion};

// Applies one option of arithsolve's; false with error set for a bad value.
bool applyOption(const options::GivenOption& option, SolveOptions& result, std::string& error) {
  if (option.is(options::kHelp)) return result.help = true;
  if (option.is(options::kVersion)) return result.version = true;
  if (option.is(kCount)) return result.countOnly = true;
  if (option.is(options::kExact) || option.is(options::kFloat)) {
    result.arithmetic = option.is(options::kExact) ? generator::Arithmetic::Exact : generator::Arithmetic::Float;
    return true;
  }
  if (option.is(options::kJobs)) return (result.jobs = options::parseJobs(option, error)).has_value();
  if (!option.is(kTarget)) return options::applySetting(option, result.settings, error);
  result.target = options::parseInt32(option.value);
  if (!result.target) error = "option '" + option.written + "' needs a 32-bit integer, not '" + option.value + "'";
  return result.target.has_value();
}

// Finished orderings drive the progress line, which the polls keep fresh;
// only output that fails stops the search.
class SolveMonitor final : public generator::SearchMonitor {
 public:
  SolveMonitor(console::ProgressLine& progress, int64_t total, const std::ostream& out)
      : progress_(progress), total_(total), out_(out) {}
  void orderingFinished() override { progress_.update(++done_, total_); }
  bool shouldStop() override {
    progress_.update(done_, total_);
    return !out_;
  }

 private:
  console::ProgressLine& progress_;
  int64_t total_;
  const std::ostream& out_;
  int64_t done_ = 0;
};

// Writes each expression as it is collected, a block at a time, or with
// --count only counts them.
class SolveCollector final : public generator::Collector {
 public:
  SolveCollector(const SolveOptions& options, const SolveOutput& output, console::ProgressLine& progress)
      : options_(options), output_(output), progress_(progress), tally_(options.settings, 0) {}

  void beginPass(std::shared_ptr<const generator::ExpressionRenderer> renderer) override {
    tally_.beginPass(nullptr);
    renderer_ = std::move(renderer);
  }

  void collectAll(std::span<const generator::CollectedExpression> expressions) override {
    if (options_.countOnly && !options_.target) {
      tally_.collectAll(expressions);
    } else {
      for (const generator::CollectedExpression& expression : expressions) collect(expression);
    }
  }

  void collect(const generator::CollectedExpression& expression) override {
    if (options_.countOnly) {
      if (!options_.target) {
        tally_.collect(expression);
      } else if (expression.value == *options_.target) {
        ++targetCount_;
      }
      return;
    }
    if (options_.target && expression.value != *options_.target) return;
    block_ += renderer_->render(expression);
    block_ += " = ";
    block_ += std::to_string(expression.value);
    block_ += '\n';
    if (block_.size() >= kBlockSize) writeBlock();
  }

  // Writes what is left: the last block, or the summary line.
  void finish() {
    progress_.erase();
    if (!options_.countOnly) {
      writeBlock();
    } else if (options_.target) {
      output_.out << targetCount_ << " expressions of value " << *options_.target << "\n";
    } else {
      output_.out << tally_.collectedCount() << " expressions";
      if (tally_.collectedCount() > 0) {
        const generator::AnswerChoice choice = tally_.rarest();
        output_.out << ", rarest value " << choice.answer << " (" << choice.exampleCount << ")";
      }
      output_.out << "\n";
    }
  }

 private:
  static constexpr size_t kBlockSize = size_t{1} << 16;

  // A progress line on the same terminal makes way for the block.
  void writeBlock() {
    if (block_.empty() || !output_.out) return;
    if (output_.sharesProgressTerminal) progress_.erase();
    output_.out << console::toTerminalBytes(block_, output_.shiftJisTerminal) << std::flush;
    block_.clear();
  }

  const SolveOptions& options_;
  const SolveOutput& output_;
  console::ProgressLine& progress_;
  generator::AnswerCollector tally_;  // keeps no expression, counts them all
  uint64_t targetCount_ = 0;
  std::shared_ptr<const generator::ExpressionRenderer> renderer_;
  std::string block_;
};

// Runs the search over the numbers, writing what it collects as it goes.
void solve(const SolveOptions& options, const SolveOutput& output) {
  const generator::Tables tables = generator::buildTables(options.settings.parameterCount);
  console::ProgressLine progress(output.progressFd, output.progressDelay);
  SolveMonitor monitor(progress, generator::distinctOrderingCount(options.numbers, options.settings.orderSwap),
                       output.out);
  SolveCollector collector(options, output, progress);
  const int32_t workers = options.jobs.value_or(generator::availableProcessors());
  generator::runSearchPass(options.numbers, {options.settings, tables, monitor, workers, options.arithmetic}, collector);
  collector.finish();
  output.out.flush();
}

// Output that could not be written is a failure, not a success: status 1
// and what went wrong on standard error.
int reportWriteError(const SolveOutput& output) {
  if (output.out.flush()) return 0;
  // errno still tells why the write that failed the stream failed.
  const int error = errno;
  if (error == EPIPE) {
    // A reader that went away ends the command as it ends others, now
    // that the progress line is gone.
    signal(SIGPIPE, SIG_DFL);
    raise(SIGPIPE);
  }
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
