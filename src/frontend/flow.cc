#include "frontend/flow.h"

namespace frontend {

int waitForKey(console::Console& console) {
  const int key = console.readKey();
  if (key != console::kEndOfInput) console.discardWaitingKeys();
  return key;
}

}  // namespace frontend
