#include "console/text.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>

namespace console {

bool localeShowsShiftJis() {
  std::string codeset = nl_langinfo(CODESET);
  std::transform(codeset.begin(), codeset.end(), codeset.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return codeset == "SHIFT_JIS" || codeset == "SHIFT-JIS" || codeset == "SJIS" ||
         codeset == "CP932" || codeset == "WINDOWS-31J";
}

std::string toTerminalBytes(std::string_view programText, bool shiftJisTerminal) {
  if (shiftJisTerminal) return std::string(programText);
  std::string out;
  out.reserve(programText.size());
  for (size_t i = 0; i < programText.size(); ++i) {
    const bool lead = programText[i] == '\x81' && i + 1 < programText.size();
    if (lead && programText[i + 1] == '\x7E') {
      out += "\xC3\x97";
      ++i;
    } else if (lead && programText[i + 1] == '\x80') {
      out += "\xC3\xB7";
      ++i;
    } else {
      out += programText[i];
    }
  }
  return out;
}

}  // namespace console
