#include "frontend/game.h"

#include <new>

#include "frontend/flow.h"
#include "frontend/menu.h"
#include "frontend/search_monitor.h"
#include "generator/parameters.h"
#include "generator/tables.h"

namespace frontend {
namespace {

// The exit status when memory runs out or the screen can no longer be written.
constexpr int kFailureStatus = 1;
// Bytes of expression text written to the answer screen between flushes.
constexpr size_t kLinesFlushedAfter = 1 << 16;

// Writes text made of whole lines and makes it visible.
void writeLines(console::Console& console, const std::string& text) {
  console.write(text);
  console.flush();
}

// Memory ran out for the question: two lines, one key, exit status 1.
Next reportOutOfMemory(console::Console& console) {
  writeLines(console, "Too many numbers.\n");
  writeLines(console, "Please press any key.\a \n");
  console.readKey();
  return {Next::Exit, kFailureStatus};
}

enum class Made { Question, Stopped, InputEnded, OutOfMemory };

// Builds the question's tables and runs its passes. Memory that runs out,
// for the tables or while the lists grow, is reported as such.
Made makeQuestion(console::Console& console, const generator::Settings& settings, uint64_t seed,
                  const PassChoices& choices, generator::Question& question) {
  try {
    generator::ParameterDraw draw(seed);
    // The tables come before the draw so that a parameter count too large
    // for memory fails at once instead of first drawing that many values.
    const generator::Tables tables = generator::buildTables(settings.parameterCount);
    draw.firstDraw(settings, question.parameters);
    GameSearchMonitor monitor(console);
    const generator::SearchContext context{settings, tables, monitor, choices.workers, choices.arithmetic};
    if (generator::runPasses(question, draw, context) == generator::SearchEnd::Completed) return Made::Question;
    return monitor.inputEnded() ? Made::InputEnded : Made::Stopped;
  } catch (const std::bad_alloc&) {
    return Made::OutOfMemory;
  }
}

// Waits for the key that ends a screen: Next::Question means go on.
Next screenKey(console::Console& console) {
  const int key = waitForKey(console);
  if (key == console::kEndOfInput) return {Next::Exit, 0};
  return {isMenuKey(key) ? Next::Menu : Next::Question};
}

// Makes one question and shows it; the question is released on return.
Next playQuestion(console::Console& console, const generator::Settings& settings, uint64_t seed,
                  const PassChoices& choices) {
  console.showCursor(false);
  generator::Question question(settings);
  switch (makeQuestion(console, settings, seed, choices, question)) {
    case Made::Stopped: return {Next::Menu};
    case Made::InputEnded: return {Next::Exit, 0};
    case Made::OutOfMemory: return reportOutOfMemory(console);
    case Made::Question: break;
  }
  console.clearScreen();
  writeLines(console, questionScreen(question));
  if (const Next next = screenKey(console); next.kind != Next::Question) return next;
  writeAnswerScreen(console, question, settings);
  if (const Next next = screenKey(console); next.kind != Next::Question) return next;
  console.clearScreen();
  return {Next::Question};
}

}  // namespace

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

void writeAnswerScreen(console::Console& console, const generator::Question& question,
                       const generator::Settings& settings) {
  console.write("\nAnswer\n");
  console.write(question.exampleCount == 1 ? "\tExample " + std::string(56, '*') + "\n"
                                           : "\tExamples " + std::string(55, '*') + "\n");
  const std::string ending = " = " + std::to_string(question.answer) + "\n";
  size_t unflushed = 0;
  generator::forEachAnswerText(question, settings, [&](const std::string& text) {
    console.write("\t\t");
    console.write(text);
    console.write(ending);
    // Shown in pieces, so that even millions of lines take little memory.
    if ((unflushed += text.size()) >= kLinesFlushedAfter) {
      console.flush();
      unflushed = 0;
    }
  });
  console.write("\t" + std::string(64, '*') + "\n");
  writeLines(console, "\nPlease press any key.\n");
}

int runGame(console::Console& console, const generator::Settings& startSettings, const QuestionSeeds& seeds,
            const PassChoices& choices) {
  generator::Settings settings = startSettings;
  Next next{Next::Question};
  try {
    while (next.kind != Next::Exit) {
      next = next.kind == Next::Menu ? runMenu(console, settings) : playQuestion(console, settings, seeds(), choices);
    }
    // What was written before the end is still shown, if it can be.
    console.flush();
  } catch (const std::bad_alloc&) {
    // Memory that runs out outside a search, such as on the answer screen.
    try {
      return reportOutOfMemory(console).exitStatus;
    } catch (const console::OutputClosed&) {
      return kFailureStatus;
    }
  } catch (const console::OutputClosed&) {
    // Output that failed before the end ends the game; output that fails
    // only in the last flush keeps the status the end came with.
    if (next.kind != Next::Exit) return kFailureStatus;
  }
  return next.exitStatus;
}

}  // namespace frontend
