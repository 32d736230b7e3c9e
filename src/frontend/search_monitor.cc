#include "frontend/search_monitor.h"

#include "frontend/flow.h"

namespace frontend {

bool GameSearchMonitor::shouldStop() {
  if (!console_.keyWaiting()) return false;
  const int key = console_.readKey();
  if (key == console::kEndOfInput) inputEnded_ = true;
  if (!isMenuKey(key)) return false;
  console_.discardWaitingKeys();
  return true;
}

// The console shows each mark at once.
void GameSearchMonitor::writeMark(std::string_view mark) {
  console_.write(mark);
  console_.flush();
}

}  // namespace frontend
