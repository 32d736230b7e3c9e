// The settings menu: shows the seven settings, changes them one key at a
// time, and starts a new question (s) or ends the program (x).
#pragma once

#include <cstdint>

#include "console/console.h"
#include "frontend/flow.h"
#include "generator/settings.h"

namespace frontend {

enum class Extraction { Number, Failed, EndOfInput };

// Reads one signed 32-bit integer from the line input as formatted stream
// extraction does: white space skipped, an optional sign and digits, and
// everything after the number left pending.
Extraction extractInt32(console::Console& console, int32_t& value);

// Runs the menu until its s key (Next::Question) or its x key or the end
// of input (Next::Exit with status 0).
Next runMenu(console::Console& console, generator::Settings& settings);

}  // namespace frontend
