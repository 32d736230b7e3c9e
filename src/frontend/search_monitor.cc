#include "frontend/search_monitor.h"

#include "frontend/flow.h"

namespace frontend {

bool GameSearchMonitor::shouldStop() {
  if (!console_.keyWaiting()) return false;
  if (!isMenuKey(console_.readKey())) return false;
  while (console_.keyWaiting()) console_.readKey();
  return true;
}

// The console shows each mark at once.
void GameSearchMonitor::writeMark(std::string_view mark) {
  console_.write(mark);
  console_.flush();
}

}  // namespace frontend
