// Command lines in the GNU manner for both programs: short options alone
// or in clusters (-rc, -a5), long ones with their value attached
// (--max-abs=5) or following, -- to end the options, and the settings
// options that both programs share.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "generator/settings.h"

namespace options {

struct OptionName {
  char shortName;             // '\0' when there is none
  std::string_view longName;  // without the leading --
  bool takesValue;
};

// The settings options: the game takes them all, arithsolve all but the
// two counts.
inline constexpr OptionName kOrderSwap{'r', "order-swap", false};
inline constexpr OptionName kComputerOperator{'c', "computer-operator", false};
inline constexpr OptionName kAllowNegative{'m', "allow-negative", false};
inline constexpr OptionName kIncludesMulDiv{'i', "includes-muldiv", false};
inline constexpr OptionName kMaxAbsValue{'a', "max-abs", true};
inline constexpr OptionName kParameterCount{'p', "parameters", true};
inline constexpr OptionName kCandidateCount{'n', "candidates", true};
inline constexpr OptionName kJobs{'j', "jobs", true};
inline constexpr OptionName kExact{'\0', "exact", false};
inline constexpr OptionName kFloat{'\0', "float", false};
inline constexpr OptionName kHelp{'h', "help", false};
inline constexpr OptionName kVersion{'\0', "version", false};

struct GivenOption {
  OptionName name;
  std::string written;  // as given, "-a" or "--max-abs", for messages
  std::string value;    // empty for an option without a value
  bool is(const OptionName& other) const { return name.longName == other.longName; }
};

struct CommandLine {
  std::vector<GivenOption> options;  // in the order given
  std::vector<std::string> operands;
};

// Splits the arguments after the program name by the options known. With
// numbersAreOperands, a negative number such as -5 is an operand, not an
// option. On bad usage returns nothing and sets error to what is wrong.
std::optional<CommandLine> splitCommandLine(const std::vector<std::string>& args,
                                            std::span<const OptionName> known, bool numbersAreOperands,
                                            std::string& error);

// A whole number of type T written as digits, with a minus sign where T
// is signed and the number negative; nothing for any other text.
template <typename T>
std::optional<T> parseNumber(std::string_view text) {
  T value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}
inline std::optional<int32_t> parseInt32(std::string_view text) { return parseNumber<int32_t>(text); }

// Applies a settings option to the settings. False, with error set, for a
// value that is not a number at least the setting's lower bound or for an
// option that is not a setting.
bool applySetting(const GivenOption& option, generator::Settings& settings, std::string& error);

// The most threads -j may ask for.
inline constexpr int32_t kMostJobs = 1024;
// The thread count of -j/--jobs, from 1 to kMostJobs; nothing, with error
// set, for any other value.
std::optional<int32_t> parseJobs(const GivenOption& option, std::string& error);

// What --version prints: the program's name and the project's version.
std::string versionLine(std::string_view program);

}  // namespace options
