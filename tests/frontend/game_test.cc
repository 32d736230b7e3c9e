// The main loop and its screens, byte for byte, through a scripted console.
#include "frontend/game.h"

#include <gtest/gtest.h>

#include <random>

#include "scripted_console.h"

namespace {

using testing_support::ScriptedConsole;

const std::string kHide = ScriptedConsole::kHide;
const std::string kClear = ScriptedConsole::kClear;
const std::string kOnePass =
    "\b\b\b-/|\b\b\b\\-/\b\b\b|\\-\b\b\b/|\\\b\b\b-/|\b\b\b\\-/\b\b\b*****";
// The question of the second 1000000000 with the default settings, found
// in its first pass.
const std::string kQuestion =
    "Question\n\tParameters:\n\t\t17, 66, 98, 14\n\tAnswer:\n\t\t90\n\nPlease press any key.\a \n";
const std::string kAnswer =
    "\nAnswer\n\tExample " + std::string(56, '*') + "\n\t\t17+66+98\x81\x80" "14 = 90\n\t" +
    std::string(64, '*') + "\n\nPlease press any key.\n";
const std::string kMenuStart = ScriptedConsole::kShow + kClear + "Change settings\n";

int play(ScriptedConsole& console) {
  return frontend::runGame(console, {}, [] { return uint64_t{1000000000}; });
}

// Renders the description as the index of a text.
class TextsRenderer final : public generator::ExpressionRenderer {
 public:
  std::string render(const generator::CollectedExpression& e) const override { return texts[e.description]; }
  std::vector<std::string> texts = {"(-5)+3", "(-5)\x81\x7E" "3-(-12)", "3-(-5)", "(-12)\x81\x80" "3"};
};

TEST(Screens, QuestionAndAnswerScreensByteForByte) {
  generator::Settings settings;
  settings.allowNegative = true;
  generator::Question question(settings);
  question.parameters = {-5, 3, -12};
  question.answer = -4;
  question.exampleCount = 2;
  question.collected.beginPass(std::make_shared<TextsRenderer>());
  const int32_t values[] = {-2, -4, 8, -4};
  for (uint64_t i = 0; i < 4; ++i) question.collected.collect({values[i], 0, i});
  EXPECT_EQ(frontend::questionScreen(question),
            "Question\n\tParameters:\n\t\t-5, 3, -12\n\tAnswer:\n\t\t-4\n\nPlease press any key.\a \n");
  const std::string header = "\tExamples " + std::string(55, '*');
  EXPECT_EQ(header.size(), 65u);
  ScriptedConsole console;
  frontend::writeAnswerScreen(console, question, settings);
  EXPECT_EQ(console.output,
            "\nAnswer\n" + header + "\n\t\t(-5)\x81\x7E" "3-(-12) = -4\n\t\t(-12)\x81\x80" "3 = -4\n\t" +
                std::string(64, '*') + "\n\nPlease press any key.\n");
}

TEST(MainLoop, QuestionAnswerAndNextQuestion) {
  ScriptedConsole console({"", "k", "k"});
  EXPECT_EQ(play(console), 0);  // input ends at the third screen
  const std::string question = kHide + kOnePass + kClear + kQuestion;
  EXPECT_EQ(console.output, question + kAnswer + kClear + question);
}

TEST(MainLoop, SecondOfTwoKeysIsDrainedAndArrowCountsAsOneKey) {
  ScriptedConsole console({"", "ab", "\x1b[A"});
  EXPECT_EQ(play(console), 0);
  const std::string question = kHide + kOnePass + kClear + kQuestion;
  EXPECT_EQ(console.output, question + kAnswer + kClear + question);
}

TEST(MainLoop, ShiftSOnEitherScreenOpensTheMenu) {
  ScriptedConsole onQuestion({"", "S"});
  EXPECT_EQ(play(onQuestion), 0);
  EXPECT_EQ(onQuestion.output, kHide + kOnePass + kClear + kQuestion + kMenuStart +
                                   onQuestion.output.substr(onQuestion.output.find("\tOrder")));
  ScriptedConsole onAnswer({"", "k", "s"});
  EXPECT_EQ(play(onAnswer), 0);
  const std::string before = kHide + kOnePass + kClear + kQuestion + kAnswer + kMenuStart;
  EXPECT_EQ(onAnswer.output.substr(0, before.size()), before);
}

TEST(MainLoop, StopKeyDuringTheSearchOpensTheMenuWithoutAScreen) {
  ScriptedConsole console({"s"});
  EXPECT_EQ(play(console), 0);
  const std::string start = kHide + "\b\b\b-/|\b\b\b*****" + kMenuStart;
  EXPECT_EQ(console.output.substr(0, start.size()), start);
  EXPECT_EQ(console.output.find("Question"), std::string::npos);
}

TEST(MainLoop, TablesThatDoNotFitEndWithStatusOne) {
  // p, then s: the next question needs tables far beyond memory (14) or
  // row counts beyond 64 bits (30).
  for (const char* count : {"14\n", "30\n"}) {
    ScriptedConsole console({"", "s", "p", "s", "k", "never read"}, count);
    EXPECT_EQ(play(console), 1);
    const std::string failure = kClear + kHide + "Too many numbers.\nPlease press any key.\a \n";
    EXPECT_EQ(console.output.substr(console.output.size() - failure.size()), failure);
  }
}

}  // namespace

namespace {

// The screens of the first question, from its clear to its answer screen.
std::string firstQuestionScreens(const std::string& output) {
  const size_t begin = output.find(kClear + "Question");
  const size_t end = output.find("Please press any key.\n", begin);
  return begin == std::string::npos || end == std::string::npos ? "" : output.substr(begin, end - begin);
}

TEST(MainLoop, KeyStormsDuringTheSearchChangeNothing) {
  ScriptedConsole quiet({"", "k", "k"});
  play(quiet);
  const std::string expected = firstQuestionScreens(quiet.output);
  ASSERT_FALSE(expected.empty());
  std::mt19937 random(11);
  for (int storm = 0; storm < 50; ++storm) {
    std::string keys;
    for (int i = 0; i < 1 + storm * 7; ++i) {
      const char key = static_cast<char>(random() % 256);
      if (key != 's' && key != 'S') keys += key;
    }
    // Keys left over from the search are read by the question screen and
    // drained with it, so the answer screen still waits for a fresh key.
    ScriptedConsole stormy({keys, "k", "k"});
    play(stormy);
    EXPECT_EQ(firstQuestionScreens(stormy.output), expected) << storm;
  }
}

// Under the sanitizer build, any leak or memory error over these questions fails.
TEST(MainLoop, FiveThousandQuestionsAndMenuVisits) {
  std::vector<std::string> keys = {""};
  for (int i = 0; i < 5000; ++i) {
    keys.push_back(i % 50 == 49 ? "s" : "k");  // now and then a visit to the menu
    keys.push_back(i % 50 == 49 ? "s" : "k");
  }
  ScriptedConsole console(keys);
  std::time_t second = 1700000000;
  EXPECT_EQ(frontend::runGame(console, {}, [&] { return second++; }), 0);
  EXPECT_GT(second, 1700000000 + 4900);
}

class ClosedOutput final : public ScriptedConsole {
 public:
  using ScriptedConsole::ScriptedConsole;
  void flush() override {
    if (output.size() > 300) throw console::OutputClosed();
  }
};

// Memory runs out during the search: the spinner's write stands for it.
class MemoryRunsOut final : public ScriptedConsole {
 public:
  using ScriptedConsole::ScriptedConsole;
  void write(std::string_view bytes) override {
    if (bytes == "\b\b\b|\\-") throw std::bad_alloc();
    ScriptedConsole::write(bytes);
  }
};

TEST(MainLoop, MemoryRunningOutDuringTheSearchEndsWithStatusOne) {
  MemoryRunsOut console({"", "k"});
  EXPECT_EQ(play(console), 1);
  EXPECT_EQ(console.output, kHide + "\b\b\b-/|\b\b\b\\-/Too many numbers.\nPlease press any key.\a \n");
}

// A seed makes the same run of questions anywhere, each question its own.
TEST(MainLoop, SeededRunsRepeatTheirQuestions) {
  ScriptedConsole console({"", "k", "k", "k"});
  frontend::runGame(console, {}, frontend::seededQuestions(42));
  const std::string first = "Parameters:\n\t\t51, 33, 80, 6\n";
  ASSERT_EQ(console.output.find(first), console.output.find("Parameters:")) << console.output.substr(0, 200);
  EXPECT_EQ(console.output.find(first, console.output.find("Answer\n")), std::string::npos);
}

TEST(MainLoop, OutputThatCannotBeWrittenEndsTheGame) {
  ClosedOutput console({"", "k", "k", "k", "k"});
  EXPECT_EQ(play(console), 1);
}

}  // namespace
