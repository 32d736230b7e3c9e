#include "frontend/menu.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

namespace frontend {
namespace {

struct NumberPrompt {
  const char* prompt;
  const char* message;
  int32_t lowerBound;
};

constexpr NumberPrompt kParameterCountPrompt{
    "Enter parameter count (minimum 3): ",
    "Parameter count must be at least 3. Please try again.", 3};
constexpr NumberPrompt kCandidateCountPrompt{
    "Enter number of candidates (minimum 1): ",
    "Number of candidates must be at least 1. Please try again.", 1};
constexpr NumberPrompt kMaxAbsValuePrompt{
    "Enter maximum absolute value (minimum 1): ",
    "Maximum absolute value must be at least 1. Please try again.", 1};

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const char* onOff(bool flag) { return flag ? "ON" : "OFF"; }

std::string menuText(const generator::Settings& s) {
  std::string text = "Change settings\n";
  text += std::string("\tOrder swap(r):") + onOff(s.orderSwap) + "\n";
  text += std::string("\tComputer operator(c):") + onOff(s.computerOperator) + "\n";
  text += std::string("\tAllow negative value(m):") + onOff(s.allowNegative) + "\n";
  text += std::string("\tIncludes multiplication or division(i):") + onOff(s.includesMulDiv) + "\n";
  text += "\tParameter count(p):" + std::to_string(s.parameterCount) + "\n";
  text += "\tNumber of candidates(n):" + std::to_string(s.candidateCount) + "\n";
  text += "\tMaximum absolute value(a):" + std::to_string(s.maxAbsValue) + "\n";
  text += "\n\tSetup complete(s)\n\n\tProgram exit(x)\n\n";
  return text;
}

void drawMenu(console::Console& console, const generator::Settings& settings) {
  console.showCursor(true);
  console.clearScreen();
  console.write(menuText(settings));
  console.flush();
}

// Discards the pending input up to and including the next line break.
void discardLine(console::Console& console) {
  for (int c = console.readLineByte(); c != '\n' && c != console::kEndOfInput;
       c = console.readLineByte()) {
  }
}

// Prompts until the field holds a number at least the prompt's bound
// (true) or input ends (false).
bool readNumber(console::Console& console, const NumberPrompt& prompt, int32_t& field) {
  for (;;) {
    console.write(prompt.prompt);
    console.flush();
    switch (extractInt32(console, field)) {
      case Extraction::EndOfInput:
        return false;
      case Extraction::Failed:
        discardLine(console);
        field = -1;
        break;
      case Extraction::Number:
        if (field >= prompt.lowerBound) return true;
        break;
    }
    console.write(std::string(prompt.message) + "\n");
    console.flush();
  }
}

}  // namespace

Extraction extractInt32(console::Console& console, int32_t& value) {
  int c = console.peekLineByte();
  for (; isSpace(c); c = console.peekLineByte()) console.readLineByte();
  if (c == console::kEndOfInput) return Extraction::EndOfInput;
  const bool negative = c == '-';
  if (c == '-' || c == '+') {
    console.readLineByte();
    c = console.peekLineByte();
  }
  if (!isDigit(c)) return Extraction::Failed;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; isDigit(c); c = console.peekLineByte()) {
    console.readLineByte();
    magnitude = std::min(magnitude * 10 + (c - '0'), kLimit + 1);
  }
  if (magnitude > (negative ? kLimit : kLimit - 1)) return Extraction::Failed;
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return Extraction::Number;
}

Next runMenu(console::Console& console, generator::Settings& settings) {
  constexpr Next kInputEnded{Next::Exit, 0};
  for (;;) {
    drawMenu(console, settings);
    const int key = waitForKey(console);
    if (key == console::kEndOfInput) return kInputEnded;
    bool inputLeft = true;
    switch (key < 128 ? std::tolower(key) : key) {
      case 'r': settings.orderSwap = !settings.orderSwap; break;
      case 'c': settings.computerOperator = !settings.computerOperator; break;
      case 'm': settings.allowNegative = !settings.allowNegative; break;
      case 'i': settings.includesMulDiv = !settings.includesMulDiv; break;
      case 'p': inputLeft = readNumber(console, kParameterCountPrompt, settings.parameterCount); break;
      case 'n': inputLeft = readNumber(console, kCandidateCountPrompt, settings.candidateCount); break;
      case 'a': inputLeft = readNumber(console, kMaxAbsValuePrompt, settings.maxAbsValue); break;
      case 's':
        console.clearScreen();
        return {Next::Question};
      case 'x':
        return {Next::Exit, 0};
      default: break;
    }
    if (!inputLeft) return kInputEnded;
  }
}

}  // namespace frontend
