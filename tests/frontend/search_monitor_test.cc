// The game's key poll during a search.
#include "frontend/search_monitor.h"

#include <gtest/gtest.h>

#include "scripted_console.h"

namespace {

TEST(KeyPoll, OtherKeysAreTakenOneAtATimeThenSStopsAndDrains) {
  testing_support::ScriptedConsole console({"as"});
  frontend::GameSearchMonitor monitor(console);
  EXPECT_FALSE(monitor.shouldStop());
  EXPECT_TRUE(monitor.shouldStop());

  testing_support::ScriptedConsole waiting({"Sxyz"});
  frontend::GameSearchMonitor drained(waiting);
  EXPECT_TRUE(drained.shouldStop());
  EXPECT_FALSE(waiting.keyWaiting());

  testing_support::ScriptedConsole arrow({"\x1bs"});  // a two-code key ending in 0x73
  frontend::GameSearchMonitor arrowMonitor(arrow);
  EXPECT_FALSE(arrowMonitor.shouldStop());
  EXPECT_TRUE(arrowMonitor.shouldStop());

  testing_support::ScriptedConsole none;
  frontend::GameSearchMonitor idle(none);
  EXPECT_FALSE(idle.shouldStop());
}

}  // namespace
