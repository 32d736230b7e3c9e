// Every terminal control sequence the program writes, in one place
// (ECMA-48 sequences and the cursor mode that xterm-like terminals share):
//   kHideCursor  ESC [ ? 25 l    hide the cursor
//   kShowCursor  ESC [ ? 25 h    show the cursor
//   kClearScreen ESC [ H         cursor to the top left corner,
//                ESC [ 2 J       blank the screen,
//                ESC [ 3 J       and drop the scrollback
//   kEraseLine   CR ESC [ K      back to the line's start, blank to its end
#pragma once

namespace console {

inline constexpr char kHideCursor[] = "\x1b[?25l";
inline constexpr char kShowCursor[] = "\x1b[?25h";
inline constexpr char kClearScreen[] = "\x1b[H\x1b[2J\x1b[3J";
inline constexpr char kEraseLine[] = "\r\x1b[K";

}  // namespace console
