// The program's view of its terminal: key reads, the key poll, screen
// output and the number prompts' line input. The real terminal lives in
// terminal.h; tests supply a scripted one.
#pragma once

#include <stdexcept>
#include <string_view>

namespace console {

// Returned by the blocking reads once input has ended for good.
inline constexpr int kEndOfInput = -1;

// Thrown by output operations once the output can no longer be written
// (a closed pipe, a terminal that went away).
struct OutputClosed : std::runtime_error {
  OutputClosed() : std::runtime_error("output closed") {}
};

class Console {
 public:
  virtual ~Console() = default;

  // Reads one key code (0 to 255) without echo, waiting for it.
  virtual int readKey() = 0;
  // Answers at once whether a key code is waiting to be read. Output
  // written before it becomes visible within about a millisecond.
  virtual bool keyWaiting() = 0;
  // Discards the key codes waiting at this moment; later ones are kept.
  virtual void discardWaitingKeys() = 0;

  // Writes program text; its Shift_JIS signs are shown as the terminal needs.
  virtual void write(std::string_view bytes) = 0;
  // Makes everything written so far visible.
  virtual void flush() = 0;
  // Blanks the screen and puts the cursor at the top left corner.
  virtual void clearScreen() = 0;
  // Shows or hides the cursor.
  virtual void showCursor(bool visible) = 0;

  // Line input for the number prompts: typed lines with echo and editing.
  // Returns the next byte of the pending line input, reading a new line
  // when none is pending; kEndOfInput when input has ended.
  virtual int readLineByte() = 0;
  // The byte readLineByte would return, left pending.
  virtual int peekLineByte() = 0;
};

}  // namespace console
