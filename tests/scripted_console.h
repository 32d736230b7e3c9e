// A console for tests: keys come from a script, line input from a string,
// and every byte the program writes is kept.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/sequences.h"

namespace testing_support {

class ScriptedConsole : public console::Console {
 public:
  // Each group holds the keys pressed together. The first group is waiting
  // from the start; a blocking read starts the next group once the current
  // one is used up; the key poll only sees the current group. lineInput is what the number prompts read.
  explicit ScriptedConsole(std::vector<std::string> keyGroups = {}, std::string lineInput = "");

  int readKey() override;
  bool keyWaiting() override;
  void discardWaitingKeys() override { current_.clear(); }
  void write(std::string_view bytes) override { output += bytes; }
  void flush() override {}
  void clearScreen() override { output += kClear; }
  void showCursor(bool visible) override { output += visible ? kShow : kHide; }
  int readLineByte() override;
  int peekLineByte() override;

  size_t lineBytesRead() const { return linePos_; }

  // Everything written, with clears and cursor calls as their escape bytes.
  std::string output;
  static constexpr const char* kClear = console::kClearScreen;
  static constexpr const char* kHide = console::kHideCursor;
  static constexpr const char* kShow = console::kShowCursor;

 private:
  std::deque<std::string> groups_;
  std::string current_;
  std::string lineInput_;
  size_t linePos_ = 0;
};

}  // namespace testing_support
