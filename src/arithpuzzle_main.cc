// arithpuzzle: arithmetic puzzles on the terminal.
#include <unistd.h>

#include <clocale>
#include <ctime>

#include "console/terminal.h"
#include "frontend/game.h"

int main() {
  std::setlocale(LC_ALL, "");
  console::Terminal terminal(STDIN_FILENO, STDOUT_FILENO);
  return frontend::runGame(terminal, [] { return std::time(nullptr); });
}
