#include "frontend/game.h"

#include <new>

#include "frontend/menu.h"
#include "generator/parameters.h"
#include "generator/tables.h"

namespace frontend {
namespace {

// The exit status when the screen can no longer be written.
constexpr int kOutputClosedStatus = 1;

bool isMenuKey(int key) { return key == 's' || key == 'S'; }

// Writes text made of whole lines and makes it visible.
void writeLines(console::Console& console, const std::string& text) {
  console.write(text);
  console.flush();
}

// Memory ran out for the question: two lines, one key, exit status 1.
[[noreturn]] void reportOutOfMemory(console::Console& console) {
  writeLines(console, "Too many numbers.\n");
  writeLines(console, "Please press any key.\a \n");
  console.readKey();
  throw ProgramExit{1};
}

// Builds the question's tables and runs its passes (false: interrupted).
// Memory that runs out, for the tables or while the lists grow, ends the
// program with the two failure lines.
bool makeQuestion(console::Console& console, const Settings& settings, bool& stopRequested,
                  std::time_t now, generator::Question& question) {
  try {
    generator::ParameterDraw draw(now);
    // The tables come before the draw so that a parameter count too large
    // for memory fails at once instead of first drawing that many values.
    const generator::Tables tables = generator::buildTables(settings.parameterCount);
    draw.firstDraw(settings, question.parameters);
    generator::ConsoleSearchMonitor monitor(console);
    generator::SearchContext context{settings, tables, monitor, stopRequested};
    return generator::runPasses(question, draw, context);
  } catch (const std::bad_alloc&) {
    reportOutOfMemory(console);
  }
}

// Makes one question and shows it; on return the question is released and
// stopRequested tells whether the menu is to open.
void playQuestion(console::Console& console, const Settings& settings, bool& stopRequested,
                  std::time_t now) {
  console.showCursor(false);
  generator::Question question;
  if (!makeQuestion(console, settings, stopRequested, now, question)) return;

  console.clearScreen();
  writeLines(console, questionScreen(question));
  if (isMenuKey(waitForKey(console))) {
    stopRequested = true;
    return;
  }
  writeLines(console, answerScreen(question));
  if (isMenuKey(waitForKey(console))) {
    stopRequested = true;
    return;
  }
  console.clearScreen();
}

}  // namespace

int waitForKey(console::Console& console) {
  const int key = console.readKey();
  if (key == console::kEndOfInput) throw ProgramExit{0};
  while (console.keyWaiting()) console.readKey();
  return key;
}

std::string questionScreen(const generator::Question& question) {
  std::string screen = "Question\n\tParameters:\n\t\t";
  for (size_t i = 0; i < question.parameters.size(); ++i) {
    if (i > 0) screen += ", ";
    screen += std::to_string(question.parameters[i]);
  }
  screen += "\n\tAnswer:\n\t\t" + std::to_string(question.answer) + "\n";
  screen += "\nPlease press any key.\a \n";
  return screen;
}

std::string answerScreen(const generator::Question& question) {
  std::string screen = "\nAnswer\n";
  screen += question.exampleCount == 1 ? "\tExample " + std::string(56, '*')
                                       : "\tExamples " + std::string(55, '*');
  screen += "\n";
  const std::string answerText = std::to_string(question.answer);
  for (size_t i = 0; i < question.CandidateExpressions.size(); ++i) {
    if (question.CandidateAnswers[i] != question.answer) continue;
    screen += "\t\t";
    screen += question.CandidateExpressions[i];
    screen += " = " + answerText + "\n";
  }
  screen += "\t" + std::string(64, '*') + "\n";
  screen += "\nPlease press any key.\n";
  return screen;
}

int runGame(console::Console& console, const Clock& clock) {
  Settings settings;
  bool stopRequested = false;
  try {
    for (;;) {
      if (stopRequested) runMenu(console, settings, stopRequested);
      playQuestion(console, settings, stopRequested, clock());
    }
  } catch (const ProgramExit& exit) {
    // What was written before the exit is still shown.
    try {
      console.flush();
    } catch (const console::OutputClosed&) {
    }
    return exit.status;
  } catch (const console::OutputClosed&) {
    return kOutputClosedStatus;
  }
}

}  // namespace frontend
