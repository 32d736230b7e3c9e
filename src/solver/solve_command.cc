#include "solver/solve_command.h"

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

namespace solver {
namespace {

constexpr char kUsage[] =
    "Usage: arithsolve [OPTIONS] NUMBER NUMBER NUMBER [NUMBER ...]\n"
    "Prints every expression over the numbers, each used once in some order,\n"
    "with + - * / and parentheses, whose value is a whole number in range.\n"
    "\n"
    "  -r, --order-swap         search every ordering of the numbers\n"
    "  -c, --computer-operator  write * and / instead of the signs\n"
    "  -m, --allow-negative     allow negative values\n"
    "  -i, --includes-muldiv    only expressions with a multiplication or division\n"
    "  -a, --max-abs N          largest magnitude of a value (default 100)\n"
    "  -t, --target N           print only the expressions whose value is N\n"
    "      --count              print only a summary line\n"
    "  -h, --help               show this help\n";

// A signed 32-bit integer written as an optional minus sign and digits.
std::optional<int32_t> parseInt32(const std::string& text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text[0] == '+') return std::nullopt;
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

bool looksLikeNumber(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '-' &&
         arg.find_first_not_of("0123456789", 1) == std::string::npos;
}

// An option by its short and long name: a flag it sets, or, without one,
// an option that takes a number (-a, -t).
struct OptionName {
  std::string_view shortName;
  std::string_view longName;
  bool& (*flag)(SolveOptions&);
};

constexpr OptionName kOptions[] = {
    {"-r", "--order-swap", [](SolveOptions& o) -> bool& { return o.settings.orderSwap; }},
    {"-c", "--computer-operator", [](SolveOptions& o) -> bool& { return o.settings.computerOperator; }},
    {"-m", "--allow-negative", [](SolveOptions& o) -> bool& { return o.settings.allowNegative; }},
    {"-i", "--includes-muldiv", [](SolveOptions& o) -> bool& { return o.settings.includesMulDiv; }},
    {"", "--count", [](SolveOptions& o) -> bool& { return o.countOnly; }},
    {"-h", "--help", [](SolveOptions& o) -> bool& { return o.help; }},
    {"-a", "--max-abs", nullptr},
    {"-t", "--target", nullptr},
};

const OptionName* findOption(std::string_view name) {
  for (const OptionName& option : kOptions) {
    if (name == option.shortName || name == option.longName) return &option;
  }
  return nullptr;
}

class ArgumentParser {
 public:
  ArgumentParser(const std::vector<std::string>& args, std::string& error)
      : args_(args), error_(error) {}

  std::optional<SolveOptions> parse() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      const bool ok = optionsEnded || arg == "-" || arg.empty() || arg[0] != '-' || looksLikeNumber(arg)
                          ? addNumber(arg)
                          : arg == "--" ? (optionsEnded = true)
                                        : parseOption(arg);
      if (!ok) return std::nullopt;
      if (options_.help) return options_;
    }
    if (options_.numbers.size() < 3) {
      fail("at least 3 numbers are needed");
      return std::nullopt;
    }
    options_.settings.parameterCount = static_cast<int32_t>(options_.numbers.size());
    return options_;
  }

 private:
  bool fail(const std::string& message) {
    error_ = message;
    return false;
  }

  bool addNumber(const std::string& arg) {
    const auto value = parseInt32(arg);
    if (!value) return fail("not a 32-bit integer: '" + arg + "'");
    options_.numbers.push_back(*value);
    return true;
  }

  // A long option, or a cluster of short ones whose last may take a value.
  bool parseOption(const std::string& arg) {
    if (arg.rfind("--", 0) == 0) {
      const size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      const std::optional<std::string> attached =
          equals == std::string::npos ? std::nullopt : std::optional(arg.substr(equals + 1));
      return applyOption(name, attached);
    }
    for (size_t k = 1; k < arg.size(); ++k) {
      const std::string name = std::string("-") + arg[k];
      const OptionName* option = findOption(name);
      if (option && !option->flag && k + 1 < arg.size()) return applyOption(name, arg.substr(k + 1));
      if (!applyOption(name, std::nullopt)) return false;
    }
    return true;
  }

  bool applyOption(const std::string& name, std::optional<std::string> value) {
    const OptionName* option = findOption(name);
    if (!option) return fail("unknown option '" + name + "'");
    if (option->flag) {
      if (value) return fail("option '" + name + "' takes no value");
      option->flag(options_) = true;
      return true;
    }
    if (!value) {
      if (i_ + 1 >= args_.size()) return fail("option '" + name + "' needs a value");
      value = args_[++i_];
    }
    const auto number = parseInt32(*value);
    if (!number) return fail("option '" + name + "' needs a 32-bit integer, not '" + *value + "'");
    if (option->longName == "--target") {
      options_.target = *number;
    } else if (*number < 1) {
      return fail("the maximum absolute value must be at least 1");
    } else {
      options_.settings.maxAbsValue = *number;
    }
    return true;
  }

  const std::vector<std::string>& args_;
  std::string& error_;
  SolveOptions options_;
  size_t i_ = 0;
};

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

void printSummary(const generator::Question& q, std::ostream& out) {
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
    printSummary(question, output.out);
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
  return ArgumentParser(args, error).parse();
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
