// arithpuzzle: arithmetic puzzles on the terminal.
#include <unistd.h>

#include <clocale>
#include <iostream>

#include "console/terminal.h"
#include "frontend/game.h"
#include "frontend/game_options.h"
#include "generator/tables.h"
#include "options/command_line.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::string error;
  const auto options = frontend::parseGameArguments({argv + 1, argv + argc}, error);
  if (!options) {
    std::cerr << "arithpuzzle: " << error << "\nTry 'arithpuzzle --help' for more information.\n";
    return 2;
  }
  if (options->help || options->version) {
    std::cout << (options->help ? frontend::kGameUsage : options::versionLine("arithpuzzle")) << std::flush;
    if (std::cout) return 0;
    std::cerr << "arithpuzzle: write error\n";
    return 1;
  }
  console::Terminal terminal(STDIN_FILENO, STDOUT_FILENO);
  const auto seeds = options->seed ? frontend::seededQuestions(*options->seed) : frontend::clockSeeds();
  const frontend::PassChoices choices{options->jobs.value_or(generator::availableProcessors()), options->arithmetic};
  return frontend::runGame(terminal, options->settings, seeds, choices);
}
