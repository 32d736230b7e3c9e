// How control passes between the questions, the settings menu and the end
// of the program, and the key read that the screens and the menu share.
#pragma once

#include "console/console.h"

namespace frontend {

// Where the main loop goes next.
struct Next {
  enum Kind { Question, Menu, Exit };
  Kind kind;
  int exitStatus = 0;  // with Exit
};

// Reads one key, then discards the keys already waiting. Returns the
// first key's code, or console::kEndOfInput once input has ended.
int waitForKey(console::Console& console);

// s and S open the menu from the screens and stop a search.
inline bool isMenuKey(int key) { return key == 's' || key == 'S'; }

}  // namespace frontend
