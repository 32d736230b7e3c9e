#include "console/text.h"

#include <gtest/gtest.h>

namespace {

using console::toTerminalBytes;

TEST(TerminalText, SignsBecomeUtf8AndOtherBytesStay) {
  EXPECT_EQ(toTerminalBytes("(8-((-3)+5))\x81\x7E" "2", false), "(8-((-3)+5))\xC3\x97" "2");
  EXPECT_EQ(toTerminalBytes("12\x81\x80(4\x81\x80" "2)", false), "12\xC3\xB7(4\xC3\xB7" "2)");
  EXPECT_EQ(toTerminalBytes("a\\b\t\a\b", false), "a\\b\t\a\b");
}

TEST(TerminalText, ShiftJisTerminalGetsTheBytesUnchanged) {
  EXPECT_EQ(toTerminalBytes("4\x81\x7E" "2\x81\x80" "1", true), "4\x81\x7E" "2\x81\x80" "1");
}

TEST(TerminalText, LoneLeadByteIsKept) {
  EXPECT_EQ(toTerminalBytes("1\x81", false), "1\x81");
  EXPECT_EQ(toTerminalBytes("\x81" "A", false), "\x81" "A");
}

}  // namespace
