// The settings menu through a scripted console and scripted line input.
#include "frontend/menu.h"

#include <gtest/gtest.h>

#include "console/sequences.h"
#include "frontend/game.h"
#include "scripted_console.h"

namespace {

using generator::Settings;
using testing_support::ScriptedConsole;

std::string menu(const Settings& s) {
  auto onOff = [](bool b) { return std::string(b ? "ON" : "OFF"); };
  return std::string(console::kShowCursor) + console::kClearScreen + "Change settings\n" +
         "\tOrder swap(r):" + onOff(s.orderSwap) + "\n" +
         "\tComputer operator(c):" + onOff(s.computerOperator) + "\n" +
         "\tAllow negative value(m):" + onOff(s.allowNegative) + "\n" +
         "\tIncludes multiplication or division(i):" + onOff(s.includesMulDiv) + "\n" +
         "\tParameter count(p):" + std::to_string(s.parameterCount) + "\n" +
         "\tNumber of candidates(n):" + std::to_string(s.candidateCount) + "\n" +
         "\tMaximum absolute value(a):" + std::to_string(s.maxAbsValue) + "\n" +
         "\n\tSetup complete(s)\n\n\tProgram exit(x)\n\n";
}

struct MenuRun {
  Settings settings;
  std::string output;
  int exitStatus = -1;  // -1: left with s
};

// Runs the menu with one key group per key press.
MenuRun runMenu(std::vector<std::string> keys, std::string lineInput = "") {
  keys.insert(keys.begin(), "");
  ScriptedConsole console(keys, std::move(lineInput));
  MenuRun run;
  const frontend::Next next = frontend::runMenu(console, run.settings);
  if (next.kind == frontend::Next::Exit) run.exitStatus = next.exitStatus;
  run.output = console.output;
  return run;
}

const char kCountPrompt[] = "Enter parameter count (minimum 3): ";
const char kCountMessage[] = "Parameter count must be at least 3. Please try again.\n";

TEST(Menu, FlagKeysInEitherCaseAndExit) {
  const MenuRun run = runMenu({"r", "C", "m", "I", "R", "X"});
  EXPECT_EQ(run.exitStatus, 0);
  Settings s;
  std::string expected = menu(s);
  s.orderSwap = true;
  expected += menu(s);
  s.computerOperator = true;
  expected += menu(s);
  s.allowNegative = true;
  expected += menu(s);
  s.includesMulDiv = true;
  expected += menu(s);
  s.orderSwap = false;
  expected += menu(s);
  EXPECT_EQ(run.output, expected);  // x writes nothing
}

TEST(Menu, KeysWithoutAFunctionRedraw) {
  const MenuRun run = runMenu({"b", "7", "\n", "\x1b", "\x1b[A", "\xE0H", "\xD3", "s"});
  EXPECT_EQ(run.exitStatus, -1);
  std::string expected;
  for (int i = 0; i < 8; ++i) expected += menu(Settings{});
  EXPECT_EQ(run.output, expected + console::kClearScreen);
}

TEST(Menu, ParameterCountBounds) {
  const MenuRun run = runMenu({"p", "x"}, "2\n-5\nabc\n99999999999\n   \n\n  3\n");
  EXPECT_EQ(run.settings.parameterCount, 3);
  std::string expected = menu(Settings{});
  for (int i = 0; i < 4; ++i) expected += kCountPrompt + std::string(kCountMessage);
  expected += kCountPrompt;
  Settings s;
  s.parameterCount = 3;
  EXPECT_EQ(run.output, expected + menu(s));
}

TEST(Menu, CandidateAndMaximumBounds) {
  const MenuRun run = runMenu({"n", "a", "x"}, "0\n1\n-1\n+7\n");
  EXPECT_EQ(run.settings.candidateCount, 1);
  EXPECT_EQ(run.settings.maxAbsValue, 7);
  Settings s;
  std::string expected = menu(s) + "Enter number of candidates (minimum 1): " +
                         "Number of candidates must be at least 1. Please try again.\n" +
                         "Enter number of candidates (minimum 1): ";
  s.candidateCount = 1;
  expected += menu(s) + "Enter maximum absolute value (minimum 1): " +
              "Maximum absolute value must be at least 1. Please try again.\n" +
              "Enter maximum absolute value (minimum 1): ";
  s.maxAbsValue = 7;
  EXPECT_EQ(run.output, expected + menu(s));
}

TEST(Menu, RestOfTheLineStaysPendingForTheNextPrompt) {
  const MenuRun run = runMenu({"p", "n", "x"}, "5abc\n4\n");
  EXPECT_EQ(run.settings.parameterCount, 5);
  EXPECT_EQ(run.settings.candidateCount, 4);
  Settings s;
  s.parameterCount = 5;
  const std::string candidates = "Enter number of candidates (minimum 1): ";
  EXPECT_NE(run.output.find(menu(s) + candidates +
                            "Number of candidates must be at least 1. Please try again.\n" + candidates),
            std::string::npos);
}

TEST(Menu, EndOfInputAtAPromptEndsTheProgram) {
  const MenuRun run = runMenu({"p", "s"}, "  \n");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, menu(Settings{}) + kCountPrompt);
  EXPECT_EQ(runMenu({"a"}, "abc").exitStatus, 0);
  EXPECT_EQ(runMenu({}).exitStatus, 0);
}

TEST(Menu, NewQuestionUsesTheChangedSettings) {
  // s during the first search, then r, p 3 and s: the next question has
  // three parameters, searched in every ordering.
  ScriptedConsole console({"s", "r", "p", "s"}, "3\n");
  EXPECT_EQ(frontend::runGame(console, {}, [] { return uint64_t{1000000000}; }), 0);
  const std::string& out = console.output;
  const size_t screen = out.find("Question\n\tParameters:\n\t\t");
  ASSERT_NE(screen, std::string::npos);
  const std::string line = out.substr(screen + 24, out.find('\n', screen + 24) - screen - 24);
  EXPECT_EQ(std::count(line.begin(), line.end(), ','), 2) << line;
  EXPECT_NE(out.find(std::string(console::kClearScreen) + console::kHideCursor + "\b\b\b-/|"), std::string::npos);
}

}  // namespace
