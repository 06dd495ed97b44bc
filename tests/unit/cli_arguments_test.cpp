#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

#include "archive/date_time.h"

using namespace qrt;
using namespace qrt::cli;
using namespace qrt::tools;

namespace {

template <typename T>
bool refused(const common::Result<T>& parsed) {
    return common::failureOf(parsed) != nullptr;
}

}  // namespace

TEST(CliArguments, NumbersAreWholeAndInRange) {
    EXPECT_EQ(std::get<std::int64_t>(parseInteger("x", "255", 0, 255)), 255);
    EXPECT_EQ(std::get<std::int64_t>(parseInteger("x", "0x1F", 0, 255)), 31);
    EXPECT_EQ(std::get<std::int64_t>(parseInteger("x", "-32768", -32768, 65535)), -32768);
    EXPECT_EQ(std::get<std::int64_t>(parseInteger("x", "010", 0, 255)), 10);  // not octal
    EXPECT_EQ(std::get<std::int64_t>(parseInteger("x", "+5", -5, 5)), 5);
    for (const char* bad : {"256", "-1", "12abc", "", "0x", "1.5", " 7", "+5", "--5", "-0"}) {
        EXPECT_TRUE(refused(parseInteger("x", bad, 0, 255))) << bad;
    }
    for (const char* bad : {"--1", "+-5", "-+5", "++5", "-0x-5"}) {
        EXPECT_TRUE(refused(parseInteger("x", bad, -32768, 65535))) << bad;
    }
    EXPECT_EQ(std::get<double>(parseSeconds("--wait-reply", "2.5")), 2.5);
    EXPECT_EQ(std::get<double>(parseSeconds("--listen", "3600")), 3600);
    for (const char* bad : {"nan", "inf", "-inf", "1e9", "1e300", "-1", "3600.5", "2s", ""}) {
        EXPECT_TRUE(refused(parseSeconds("--wait-reply", bad))) << bad;
    }
    EXPECT_EQ(std::get<common::Failure>(parseInteger("--byte-par", "300", 0, 255)).reason,
              "--byte-par '300' is out of range (0 to 255)");
}

TEST(CliArguments, ModulesKeysAndDates) {
    const auto module = std::get<frames::ModuleAddress>(parseModule("--module", "5.1234"));
    EXPECT_EQ(module.type, 5U);
    EXPECT_EQ(module.serial, 1234U);
    for (const char* bad :
         {"5", "16.1", "5.268435456", "x.1", "5.", "5.1.2", "5.--1", "5.-1", "+5.1"}) {
        EXPECT_TRUE(refused(parseModule("--module", bad))) << bad;
    }
    const std::vector<std::string> key{"0123", "4567", "89ab", "CDEF", "FEDC", "BA98", "7654", "0"};
    EXPECT_EQ(std::get<frames::TeaKey>(parseKey("--key", key))[1], 0xCDEF89ABu);
    EXPECT_TRUE(refused(parseKey("--key", {"0123"})));
    EXPECT_TRUE(refused(
        parseKey("--key", {"0123", "4567", "89AB", "CDEF", "FEDC", "BA98", "7654", "12345"})));
    EXPECT_TRUE(refused(
        parseKey("--key", {"0123", "4567", "89AB", "CDEF", "FEDC", "BA98", "7654", "xyz"})));

    const auto at = [](const char* text) {
        return std::get<archive::DateTimeValue>(parseDateTime("--since", text));
    };
    EXPECT_EQ(at("2015-05-12"), *archive::encodeDate(2015, 5, 12));
    EXPECT_EQ(at("2015-05-12T10:30"),
              *archive::encodeDate(2015, 5, 12) + *archive::encodeTime(10, 30, 0));
    EXPECT_EQ(at("2015-05-12 10:30:15"),
              *archive::encodeDate(2015, 5, 12) + *archive::encodeTime(10, 30, 15));
    for (const char* bad : {"2015-02-29", "2015-05-12T24:00", "12.05.2015", "2015-5-12",
                            "2015-05-12T10:30:60", "2015-05-12X10:30"}) {
        EXPECT_TRUE(refused(parseDateTime("--since", bad))) << bad;
    }
}

TEST(CliArguments, ListsByNameOrNumber) {
    EXPECT_EQ(std::get<std::uint8_t>(parseCommand("nvr")), 11);
    EXPECT_EQ(std::get<std::uint8_t>(parseCommand("DBW")), 26);
    EXPECT_TRUE(refused(parseCommand("NV")));
    EXPECT_EQ(std::get<std::uint8_t>(parseParameter("14")), 14);  // "14 Offset Pt"
    EXPECT_EQ(std::get<std::uint8_t>(parseParameter("20")), 20);  // "20 SetCnt1"
    EXPECT_TRUE(refused(parseParameter("18")));
    EXPECT_EQ(std::get<std::uint8_t>(parseLed("green-blink")), 0x05);
    EXPECT_EQ(std::get<std::uint8_t>(parseLed("Orange Flash 2Hz")), 0x1B);
    EXPECT_EQ(std::get<std::uint8_t>(parseLed("0x16")), 0x16);
    EXPECT_TRUE(refused(parseLed("0x04")));
}
