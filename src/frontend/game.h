// The game's main loop: one question after another, the question screen,
// the answer screen, and the settings menu on the s key.
#pragma once

#include <string>

#include "console/console.h"
#include "frontend/game_options.h"
#include "generator/answer.h"

namespace frontend {

std::string questionScreen(const generator::Question& question);
// Writes the answer screen a few lines at a time, as its lines are made.
void writeAnswerScreen(console::Console& console, const generator::Question& question,
                       const generator::Settings& settings);

// Runs the game from the settings given, each question's numbers drawn
// from the next seed and searched as the choices say, until the menu's x key or the end of input (status
// 0), memory that runs out for a question, or output that can no longer be
// written (status 1); returns the exit status.
// How the game's passes run, as its command line chose.
struct PassChoices {
  int32_t workers = 1;
  generator::Arithmetic arithmetic = generator::Arithmetic::Float;
};

int runGame(console::Console& console, const generator::Settings& startSettings, const QuestionSeeds& seeds,
            const PassChoices& choices = {});

}  // namespace frontend
