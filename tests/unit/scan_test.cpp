#include "common/scan.h"

#include <gtest/gtest.h>

using namespace qrt::common;

TEST(Scan, IntDetectsBaseFromPrefixAsCDoes) {
    EXPECT_EQ(scanInt("1234"), 1234);
    EXPECT_EQ(scanInt("010"), 8);
    EXPECT_EQ(scanInt("0x10"), 16);
    EXPECT_EQ(scanInt("  -2"), -2);
    EXPECT_EQ(scanInt("+7abc"), 7);
    EXPECT_EQ(scanInt("0x0FFFFFFF"), 0x0FFFFFFF);
}

TEST(Scan, NothingScannableGivesNoValue) {
    EXPECT_EQ(scanInt(""), std::nullopt);
    EXPECT_EQ(scanInt("abc"), std::nullopt);
    EXPECT_EQ(scanHex("xyz"), std::nullopt);
    EXPECT_EQ(scanShortHex("   "), std::nullopt);
}

TEST(Scan, HexAcceptsPrefixAndWrapsToWidth) {
    EXPECT_EQ(scanHex("1D0F"), 0x1D0Fu);
    EXPECT_EQ(scanHex("0x1d0f"), 0x1D0Fu);
    EXPECT_EQ(scanHex("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(scanShortHex("12345"), 0x2345u);
    EXPECT_EQ(scanShortInt("-1"), -1);
    EXPECT_EQ(scanShortInt("65535"), -1);
    EXPECT_EQ(scanInt("4294967297"), 1);
}
