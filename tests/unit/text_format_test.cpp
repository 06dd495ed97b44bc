#include "common/text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>

using qrt::common::format;
using qrt::common::detail::FormatText;

#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

namespace {

constexpr int kRandomValuesPerFormat = 40'000;

// Formats values both ways; counts and keeps the first few differences.
struct Comparison {
    int mismatches = 0;
    std::string first;

    template <FormatText F, typename Value>
    void check(Value value) {
        char expected[512];
        std::snprintf(expected, sizeof expected, F.chars.data(), value);
        const std::string actual = format<F>(value);
        if (actual != expected && ++mismatches <= 5) {
            first +=
                std::string(F.chars.data()) + " gave '" + actual + "', printf '" + expected + "'\n";
        }
    }

    template <FormatText F>
    void checkIntegers(std::mt19937_64& random) {
        for (const unsigned edge :
             {0u, 1u, 9u, 10u, 99u, 65535u, 0x7FFFFFFFu, 0x80000000u, UINT_MAX}) {
            check<F>(edge);
            check<F>(static_cast<int>(edge));
        }
        for (int i = 0; i < kRandomValuesPerFormat; ++i) {
            const auto bits = static_cast<unsigned>(random());
            const unsigned value = i % 2 == 0 ? bits : bits >> (bits % 32);  // small ones too
            check<F>(value);
            check<F>(static_cast<int>(value));
        }
    }

    template <FormatText F>
    void checkFixed(std::mt19937_64& random) {
        for (const double edge :
             {0.0,     -0.0,    0.005,  0.125,   99.995,     -99.995,      0.5,
              1.5,     2.5,     327.67, -327.68, 5.1,        0.015,        1e300,
              -1e-300, 1.0 / 3, 1e22,   -0.001,  123456.789, 4294967295.5, 42949672.955}) {
            check<F>(edge);
        }
        // Every temperature and battery value the decoders scale, then random ones.
        for (int t = -32768; t <= 32767; t += 7) {
            check<F>(t * 0.01);
        }
        for (int b = 0; b <= 255; ++b) {
            check<F>(b * 0.02);
        }
        std::uniform_int_distribution<int> words(-32768, 32767);
        std::uniform_real_distribution<double> wide(-1e6, 1e6);
        for (int i = 0; i < kRandomValuesPerFormat; ++i) {
            check<F>(i % 3 == 0   ? words(random) * 0.01
                     : i % 3 == 1 ? words(random) * 0.02
                                  : wide(random));
        }
    }
};

}  // namespace

TEST(TextFormat, IntegerConversionsMatchPrintf) {
    std::mt19937_64 random(1);
    Comparison c;
    c.checkIntegers<"%u">(random);
    c.checkIntegers<"%i">(random);
    c.checkIntegers<"%d">(random);
    c.checkIntegers<"%x">(random);
    c.checkIntegers<"%X">(random);
    c.checkIntegers<"%04x">(random);
    c.checkIntegers<"%04X">(random);
    c.checkIntegers<"%02x">(random);
    c.checkIntegers<"%02u">(random);
    c.checkIntegers<"%4u">(random);
    c.checkIntegers<"%4.4u">(random);
    c.checkIntegers<"%2.2u">(random);
    c.checkIntegers<"% u">(random);
    c.checkIntegers<"%-5u">(random);
    c.checkIntegers<"%+i">(random);
    c.checkIntegers<"% i">(random);
    c.checkIntegers<"%5i">(random);
    c.checkIntegers<"%-5i">(random);
    c.checkIntegers<"%05i">(random);
    c.checkIntegers<"%.0u">(random);
    c.checkIntegers<"%#x">(random);
    c.checkIntegers<"%-8.3i">(random);
    c.checkIntegers<"%08.3i">(random);
    c.checkIntegers<"%hu">(random);
    c.checkIntegers<"%hhx">(random);
    for (const long long value : {0LL, -1LL, 59LL, 86399LL, LLONG_MIN, LLONG_MAX}) {
        c.check<"%02lld">(value);
        c.check<"%lld">(value);
    }
    EXPECT_EQ(c.mismatches, 0) << c.first;
}

TEST(TextFormat, FixedConversionsMatchPrintfAtEveryValueTheWireCanGive) {
    std::mt19937_64 random(2);
    Comparison c;
    c.checkFixed<"%-5.2f">(random);
    c.checkFixed<"%4.2f">(random);
    c.checkFixed<"%6.2f">(random);
    c.checkFixed<" %4.2f">(random);
    c.checkFixed<"%.2f">(random);
    c.checkFixed<"%f">(random);
    c.checkFixed<"%8.3f">(random);
    c.checkFixed<"%-8.1f">(random);
    c.checkFixed<"%+.2f">(random);
    c.checkFixed<"% .2f">(random);
    c.checkFixed<"%05.2f">(random);
    c.checkFixed<"%.0f">(random);
    c.checkFixed<"%#.0f">(random);
    c.checkFixed<"%.9f">(random);
    EXPECT_EQ(c.mismatches, 0) << c.first;
}

TEST(TextFormat, StringsWidthsAndLiteralPercent) {
    EXPECT_EQ((format<"%s  ID:%u.%u pt:%u">("12:00:00.0", 5u, 4660u, 1u)),
              "12:00:00.0  ID:5.4660 pt:1");
    EXPECT_EQ((format<"[%5s|%-5s|%.2s|%c|%%]">("ab", std::string("cd"), "xyz", 'Q')),
              "[   ab|cd   |xy|Q|%]");
    EXPECT_EQ((format<"%u.%u-%4.4u%2.2u%2.2u.csv">(6u, 16u, 2026u, 3u, 1u)), "6.16-20260301.csv");
    std::string line = "T:";
    qrt::common::appendFormat<"%-5.2f|">(line, -0.0);
    EXPECT_EQ(line, "T:-0.00|");
}
