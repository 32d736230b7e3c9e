#include "generator/reduction.h"

#include <gtest/gtest.h>

#include <cmath>

#include "generator/search_support.h"

namespace {

using namespace generator;
using testing_support::readable;

Term reduce(const std::vector<int32_t>& values, std::vector<int32_t> combination,
            std::vector<int32_t> operators, bool computerOperator = false) {
  ReductionWork work(static_cast<int32_t>(values.size()));
  return reduceExpression(values, combination.data(), operators.data(), computerOperator, work);
}

TEST(Reduction, FirstExampleBytesInBothSignSets) {
  const Term signs = reduce({8, -3, 5, 2}, {1, 0, 0}, {Subtract, Add, Multiply});
  EXPECT_EQ(signs.text, "(8-((-3)+5))\x81\x7E" "2");
  EXPECT_EQ(signs.value, 12);
  EXPECT_TRUE(signs.isMultiplicative);
  const Term ascii = reduce({8, -3, 5, 2}, {1, 0, 0}, {Subtract, Add, Multiply}, true);
  EXPECT_EQ(ascii.text, "(8-((-3)+5))*2");
}

TEST(Reduction, SecondAndThirdExamples) {
  const Term second = reduce({2, 7, 9, -4}, {0, 1, 0}, {Add, Multiply, Subtract});
  EXPECT_EQ(readable(second.text), "(2+7)x(9-(-4))");
  EXPECT_EQ(second.value, 117);
  const Term third = reduce({3, 2, 5, 5}, {2, 1, 0}, {Divide, Divide, Subtract});
  EXPECT_EQ(readable(third.text), "3:(2:(5-5))");
  EXPECT_EQ(third.value, 0);
  EXPECT_FALSE(std::signbit(third.value));
  const Term negative = reduce({-3, 2, 5, 5}, {2, 1, 0}, {Divide, Divide, Subtract});
  EXPECT_EQ(readable(negative.text), "(-3):(2:(5-5))");
  EXPECT_TRUE(std::signbit(negative.value));
}

TEST(Reduction, EveryCaseOfEnclosingForTwelveFourTwo) {
  struct Case {
    const char* firstPairFirst;
    double firstValue;
    const char* lastPairFirst;
    double lastValue;
  };
  const Case cases[16] = {
      {"12+4+2", 18, "12+4+2", 18},     {"12+4-2", 14, "12+4-2", 14},
      {"(12+4)x2", 32, "12+4x2", 20},   {"(12+4):2", 8, "12+4:2", 14},
      {"12-4+2", 10, "12-(4+2)", 6},    {"12-4-2", 6, "12-(4-2)", 10},
      {"(12-4)x2", 16, "12-4x2", 4},    {"(12-4):2", 4, "12-4:2", 10},
      {"12x4+2", 50, "12x(4+2)", 72},   {"12x4-2", 46, "12x(4-2)", 24},
      {"12x4x2", 96, "12x4x2", 96},     {"12x4:2", 24, "12x4:2", 24},
      {"12:4+2", 5, "12:(4+2)", 2},     {"12:4-2", 1, "12:(4-2)", 6},
      {"12:4x2", 6, "12:(4x2)", 1.5},   {"12:4:2", 1.5, "12:(4:2)", 6},
  };
  for (int32_t row = 0; row < 16; ++row) {
    const std::vector<int32_t> ops = {row / 4, row % 4};
    const Term first = reduce({12, 4, 2}, {0, 0}, ops);
    const Term last = reduce({12, 4, 2}, {1, 0}, ops);
    EXPECT_EQ(readable(first.text), cases[row].firstPairFirst) << row;
    EXPECT_EQ(first.value, cases[row].firstValue) << row;
    EXPECT_EQ(readable(last.text), cases[row].lastPairFirst) << row;
    EXPECT_EQ(last.value, cases[row].lastValue) << row;
    std::string ascii = reduce({12, 4, 2}, {1, 0}, ops, true).text;
    std::string expected = cases[row].lastPairFirst;
    for (char& c : expected) c = c == 'x' ? '*' : c == ':' ? '/' : c;
    EXPECT_EQ(ascii, expected) << row;
  }
}

TEST(Reduction, ZeroIsBareAndDivisionByZeroGoesOn) {
  EXPECT_EQ(readable(reduce({0, 5, 0}, {0, 0}, {Subtract, Divide}).text), "(0-5):0");
  EXPECT_TRUE(std::isinf(reduce({0, 5, 0}, {0, 0}, {Subtract, Divide}).value));
  EXPECT_TRUE(std::isnan(reduce({0, 0, 1}, {0, 0}, {Divide, Multiply}).value));
}

TEST(Reduction, StopPollEndsTheReductionWithoutAResult) {
  ReductionWork work(4);
  const std::vector<int32_t> values = {1, 2, 3, 4}, combination = {0, 0, 0}, ops = {0, 0, 0};
  int polls = 0;
  EXPECT_FALSE(reduceExpression(values, combination.data(), ops.data(), false, work,
                                [&] { return ++polls == 1; }));
  polls = 0;
  EXPECT_FALSE(reduceExpression(values, combination.data(), ops.data(), false, work,
                                [&] { return ++polls == 3; }));
  polls = 0;
  EXPECT_TRUE(reduceExpression(values, combination.data(), ops.data(), false, work,
                               [&] { return ++polls > 3; }));
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(work.terms[0].text, "1+2+3+4");
}

}  // namespace
