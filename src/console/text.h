// Conversion of the program's Shift_JIS text for the terminal.
#pragma once

#include <string>
#include <string_view>

namespace console {

// True when the codeset of the locale in force shows Shift_JIS bytes as
// they are. The program sets its locale from the environment at start.
bool localeShowsShiftJis();

// Returns the bytes to send to the terminal for program text: the
// multiplication sign 81 7E and the division sign 81 80 become UTF-8
// (C3 97 and C3 B7) unless the terminal shows Shift_JIS; every other byte
// is kept as it is.
std::string toTerminalBytes(std::string_view programText, bool shiftJisTerminal);

}  // namespace console
