#include "generator/parameters.h"

namespace generator {

ParameterDraw::ParameterDraw(uint64_t seed) : engine_(static_cast<uint32_t>(seed)) {}

int32_t ParameterDraw::drawParameter(const Settings& settings) {
  const int64_t r = engine_();
  const int64_t max = settings.maxAbsValue;
  if (settings.allowNegative) return static_cast<int32_t>(r % (2 * max + 1) - max);
  return static_cast<int32_t>(r % (max + 1));
}

void ParameterDraw::firstDraw(const Settings& settings, std::vector<int32_t>& parameters) {
  for (int32_t i = 0; i < settings.parameterCount; ++i) {
    parameters.push_back(drawParameter(settings));
  }
  rollIndex_ = settings.parameterCount - 1;
}

void ParameterDraw::redraw(const Settings& settings, std::vector<int32_t>& parameters) {
  rollIndex_ = static_cast<int32_t>((rollIndex_ + 1) % static_cast<int64_t>(parameters.size()));
  parameters[static_cast<size_t>(rollIndex_)] = drawParameter(settings);
}

}  // namespace generator
