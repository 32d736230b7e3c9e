#include "scripted_console.h"

namespace testing_support {

ScriptedConsole::ScriptedConsole(std::vector<std::string> keyGroups, std::string lineInput)
    : groups_(keyGroups.begin(), keyGroups.end()), lineInput_(std::move(lineInput)) {
  if (!groups_.empty()) {
    current_ = groups_.front();
    groups_.pop_front();
  }
}

int ScriptedConsole::readKey() {
  if (current_.empty()) {
    if (groups_.empty()) return console::kEndOfInput;
    current_ = groups_.front();
    groups_.pop_front();
    if (current_.empty()) return readKey();
  }
  const auto key = static_cast<unsigned char>(current_.front());
  current_.erase(0, 1);
  return key;
}

bool ScriptedConsole::keyWaiting() { return !current_.empty(); }

int ScriptedConsole::peekLineByte() {
  if (linePos_ >= lineInput_.size()) return console::kEndOfInput;
  return static_cast<unsigned char>(lineInput_[linePos_]);
}

int ScriptedConsole::readLineByte() {
  const int c = peekLineByte();
  if (c != console::kEndOfInput) ++linePos_;
  return c;
}

}  // namespace testing_support
