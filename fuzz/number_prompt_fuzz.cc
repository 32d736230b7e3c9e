// The number prompts: extraction against the standard stream extraction of
// a 32-bit integer, and the whole prompt loop on arbitrary typed input.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "frontend/menu.h"
#include "scripted_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  testing_support::ScriptedConsole console({}, input);
  int32_t value = 0;
  const frontend::Extraction extraction = frontend::extractInt32(console, value);
  std::istringstream stream(input);
  int32_t expected = 0;
  stream >> expected;
  if ((extraction == frontend::Extraction::Number) != !stream.fail()) std::abort();
  if (extraction == frontend::Extraction::Number) {
    const auto rest = stream.eof() ? input.size() : static_cast<size_t>(stream.tellg());
    if (value != expected || console.lineBytesRead() != rest) std::abort();
  }

  for (const char* key : {"p", "n", "a"}) {
    testing_support::ScriptedConsole menu({"", key, "s"}, input);
    generator::Settings settings;
    const frontend::Next next = frontend::runMenu(menu, settings);
    if (next.kind == frontend::Next::Exit) {
      if (next.exitStatus != 0) std::abort();
      continue;  // input ended at the prompt
    }
    if (settings.parameterCount < 3 || settings.candidateCount < 1 || settings.maxAbsValue < 1) std::abort();
  }
  return 0;
}
