// The game's main loop: one question after another, the question screen,
// the answer screen, and the settings menu on the s key.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "console/console.h"
#include "generator/answer.h"

namespace frontend {

using Clock = std::function<std::time_t()>;

std::string questionScreen(const generator::Question& question);
std::string answerScreen(const generator::Question& question);

// Runs the game until the menu's x key or the end of input (status 0), a
// failure to allocate a question's tables, or output that can no longer be
// written (status 1); returns the exit status.
int runGame(console::Console& console, const Clock& clock);

}  // namespace frontend
