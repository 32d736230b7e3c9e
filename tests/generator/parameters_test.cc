#include "generator/parameters.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

using generator::ParameterDraw;
using generator::Settings;

TEST(ParameterDraw, SeedsFromTheSecondAndDrawsInOrder) {
  Settings settings;  // 4 parameters, 0..100
  std::mt19937 engine(1234567u);
  std::vector<int32_t> expected;
  for (int i = 0; i < 6; ++i) expected.push_back(static_cast<int32_t>(engine() % 101));

  ParameterDraw draw(1234567);
  std::vector<int32_t> parameters;
  draw.firstDraw(settings, parameters);
  EXPECT_EQ(parameters, std::vector<int32_t>(expected.begin(), expected.begin() + 4));
  draw.redraw(settings, parameters);  // the first pass replaces parameter 0
  draw.redraw(settings, parameters);  // then parameter 1
  EXPECT_EQ(parameters, (std::vector<int32_t>{expected[4], expected[5], expected[2], expected[3]}));
}

TEST(ParameterDraw, SeedIsTheTimeCutToItsLow32Bits) {
  Settings settings;
  std::vector<int32_t> a, b;
  ParameterDraw(std::time_t{5}).firstDraw(settings, a);
  ParameterDraw(std::time_t{5} + (std::time_t{1} << 32)).firstDraw(settings, b);
  EXPECT_EQ(a, b);
}

TEST(ParameterDraw, RedrawCyclesThroughThreeParameters) {
  Settings settings;
  settings.parameterCount = 3;
  settings.maxAbsValue = INT32_MAX;  // a redraw that repeats its old value is all but impossible
  ParameterDraw draw(99);
  std::vector<int32_t> parameters;
  draw.firstDraw(settings, parameters);
  std::vector<int32_t> rolled;
  for (int i = 0; i < 5; ++i) {
    const std::vector<int32_t> before = parameters;
    draw.redraw(settings, parameters);
    for (size_t k = 0; k < parameters.size(); ++k) {
      if (parameters[k] != before[k]) rolled.push_back(static_cast<int32_t>(k));
    }
  }
  EXPECT_EQ(rolled, (std::vector<int32_t>{0, 1, 2, 0, 1}));
}

TEST(ParameterDraw, RangeOfDraws) {
  Settings settings;
  settings.maxAbsValue = 1;
  ParameterDraw draw(7);
  std::set<int32_t> seen;
  for (int i = 0; i < 200; ++i) seen.insert(draw.drawParameter(settings));
  EXPECT_EQ(seen, (std::set<int32_t>{0, 1}));
  settings.allowNegative = true;
  seen.clear();
  for (int i = 0; i < 200; ++i) seen.insert(draw.drawParameter(settings));
  EXPECT_EQ(seen, (std::set<int32_t>{-1, 0, 1}));
}

TEST(ParameterDraw, LargestMaximumWithNegativesUsesTheWholeEngineRange) {
  Settings settings;
  settings.allowNegative = true;
  settings.maxAbsValue = INT32_MAX;
  std::mt19937 engine(42u);
  ParameterDraw draw(42);
  bool sawNegative = false, sawPositive = false;
  for (int i = 0; i < 100; ++i) {
    const int64_t r = engine();
    const int32_t value = draw.drawParameter(settings);
    // The divisor 2^32 - 1 leaves every r but the largest as it is.
    EXPECT_EQ(value, (r % 4294967295LL) - INT32_MAX);
    sawNegative |= value < 0;
    sawPositive |= value > 0;
  }
  EXPECT_TRUE(sawNegative && sawPositive);
}

}  // namespace
