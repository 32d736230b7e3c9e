// The game's main loop: one question after another, the question screen,
// the answer screen, and the settings menu on the s key.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "console/console.h"
#include "generator/answer.h"

namespace frontend {

// Thrown to end the program with an exit status, after unwinding
// everything the current question holds.
struct ProgramExit {
  int status;
};

using Clock = std::function<std::time_t()>;

// Reads one key, then discards every key already waiting. Returns the
// first key's code; ends the program with status 0 when input has ended.
int waitForKey(console::Console& console);

std::string questionScreen(const generator::Question& question);
std::string answerScreen(const generator::Question& question);

// Runs the game until the menu's x key or the end of input (status 0), a
// failure to allocate a question's tables, or output that can no longer be
// written (status 1); returns the exit status.
int runGame(console::Console& console, const Clock& clock);

}  // namespace frontend
