#include "options/command_line.h"


namespace options {
namespace {

bool looksLikeNegativeNumber(std::string_view arg) {
  return arg.size() >= 2 && arg[0] == '-' && arg.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

// Takes the arguments one at a time, an option's value from the next
// argument where it needs one.
class Splitter {
 public:
  Splitter(const std::vector<std::string>& args, std::span<const OptionName> known, bool numbersAreOperands,
           std::string& error)
      : args_(args), known_(known), numbersAreOperands_(numbersAreOperands), error_(error) {}

  std::optional<CommandLine> split() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      bool ok = true;
      if (optionsEnded || arg.size() < 2 || arg[0] != '-' ||
          (numbersAreOperands_ && looksLikeNegativeNumber(arg))) {
        result_.operands.push_back(arg);
      } else if (arg == "--") {
        optionsEnded = true;
      } else if (arg.starts_with("--")) {
        ok = longOption(arg);
      } else {
        ok = shortOptions(arg);
      }
      if (!ok) return std::nullopt;
    }
    return std::move(result_);
  }

 private:
  bool fail(const std::string& message) {
    error_ = message;
    return false;
  }

  const OptionName* find(char shortName, std::string_view longName) const {
    for (const OptionName& name : known_) {
      if (shortName != '\0' ? name.shortName == shortName : name.longName == longName) return &name;
    }
    return nullptr;
  }

  // --name, --name=value, or --name value.
  bool longOption(const std::string& arg) {
    const size_t equals = arg.find('=');
    const std::string written = arg.substr(0, equals);
    const OptionName* name = find('\0', std::string_view(written).substr(2));
    if (!name) return fail("unknown option '" + written + "'");
    if (equals == std::string::npos) return add(*name, written, std::nullopt);
    if (!name->takesValue) return fail("option '" + written + "' takes no value");
    return add(*name, written, arg.substr(equals + 1));
  }

  // -r, -rc, -a5, -ra 5: the first option that takes a value takes the rest.
  bool shortOptions(const std::string& arg) {
    for (size_t k = 1; k < arg.size(); ++k) {
      const std::string written = std::string("-") + arg[k];
      const OptionName* name = find(arg[k], {});
      if (!name) return fail("unknown option '" + written + "'");
      if (name->takesValue && k + 1 < arg.size()) return add(*name, written, arg.substr(k + 1));
      if (!add(*name, written, std::nullopt)) return false;
    }
    return true;
  }

  bool add(const OptionName& name, const std::string& written, std::optional<std::string> value) {
    if (name.takesValue && !value) {
      if (i_ + 1 >= args_.size()) return fail("option '" + written + "' needs a value");
      value = args_[++i_];
    }
    result_.options.push_back({name, written, value.value_or("")});
    return true;
  }

  const std::vector<std::string>& args_;
  std::span<const OptionName> known_;
  bool numbersAreOperands_;
  std::string& error_;
  CommandLine result_;
  size_t i_ = 0;
};

// The number option's field and lower bound, or null for a switch.
int32_t* numberField(const GivenOption& option, generator::Settings& settings, int32_t& lowerBound) {
  lowerBound = 1;
  if (option.is(kMaxAbsValue)) return &settings.maxAbsValue;
  if (option.is(kCandidateCount)) return &settings.candidateCount;
  lowerBound = 3;
  if (option.is(kParameterCount)) return &settings.parameterCount;
  return nullptr;
}

bool* switchField(const GivenOption& option, generator::Settings& settings) {
  if (option.is(kOrderSwap)) return &settings.orderSwap;
  if (option.is(kComputerOperator)) return &settings.computerOperator;
  if (option.is(kAllowNegative)) return &settings.allowNegative;
  if (option.is(kIncludesMulDiv)) return &settings.includesMulDiv;
  return nullptr;
}

}  // namespace

std::optional<CommandLine> splitCommandLine(const std::vector<std::string>& args,
                                            std::span<const OptionName> known, bool numbersAreOperands,
                                            std::string& error) {
  return Splitter(args, known, numbersAreOperands, error).split();
}

bool applySetting(const GivenOption& option, generator::Settings& settings, std::string& error) {
  if (bool* flag = switchField(option, settings)) return *flag = true;
  int32_t lowerBound = 0;
  int32_t* field = numberField(option, settings, lowerBound);
  if (!field) {
    error = "option '" + option.written + "' is not a setting";
    return false;
  }
  const std::optional<int32_t> number = parseInt32(option.value);
  if (!number || *number < lowerBound) {
    error = "option '" + option.written + "' needs a whole number from " + std::to_string(lowerBound) +
            " to 2147483647, not '" + option.value + "'";
    return false;
  }
  *field = *number;
  return true;
}

std::optional<int32_t> parseJobs(const GivenOption& option, std::string& error) {
  const std::optional<int32_t> jobs = parseInt32(option.value);
  if (jobs && *jobs >= 1 && *jobs <= kMostJobs) return jobs;
  error = "option '" + option.written + "' needs a whole number from 1 to " + std::to_string(kMostJobs) +
          ", not '" + option.value + "'";
  return std::nullopt;
}

std::string versionLine(std::string_view program) {
  return std::string(program) + " " + ARITH_VERSION + "\n";
}

}  // namespace options
