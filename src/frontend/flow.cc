#include "frontend/flow.h"

namespace frontend {

int waitForKey(console::Console& console) {
  const int key = console.readKey();
  if (key != console::kEndOfInput) {
    while (console.keyWaiting()) console.readKey();
  }
  return key;
}

}  // namespace frontend
