// The window's fields read with the form's lenient rules, as they always have been.
#include "app/form_reader.h"

#include <gtest/gtest.h>

#include "support/hex.h"

using namespace qrt;
using namespace qrt::app;

namespace {

ConfigurationForm form(std::string serial, std::string type, std::string bytePar,
                       std::string wordPar, bool hex = false) {
    ConfigurationForm f;
    f.serial = std::move(serial);
    f.type = std::move(type);
    f.bytePar = std::move(bytePar);
    f.wordPar = std::move(wordPar);
    f.byteHex = hex;
    f.wordHex = hex;
    return f;
}

}  // namespace

TEST(FormReader, CommandFieldsScanAsTheyAlwaysHave) {
    struct Case {
        ConfigurationForm form;
        std::uint32_t id;
        std::uint16_t wordPar;
        std::uint8_t bytePar;
    };
    for (const Case& c : {
             Case{form("1234", "5", "14", "900"), 0x500004D2, 900, 14},
             Case{form("0x10", "5", "0x1F", "-2"), 0x50000010, 0xFFFE, 31},
             Case{form("010", "5", "300", "70000"), 0x50000008, 70000 & 0xFFFF, 300 & 0xFF},
             Case{form("-5", "5", " 7", "12abc"), 0xFFFFFFFB, 12, 7},  // not cut to 28 bits
             Case{form("abc", "x", "", "zz"), 0x00000000, 0, 0},       // nothing scans: 0
             Case{form("0", "5", "1F", "FFFF", true), 0x50000000, 0xFFFF, 0x1F},
             Case{form("0", "5", "0x1ff", "0x1ffff", true), 0x50000000, 0xFFFF, 0xFF},
         }) {
        const commands::RadioCommand command = radioCommandOf(c.form);
        ASSERT_TRUE(command.target.has_value());
        EXPECT_EQ(command.target->commandId(), c.id) << c.form.serial;
        EXPECT_EQ(command.wordPar, c.wordPar) << c.form.wordPar;
        EXPECT_EQ(command.bytePar, c.bytePar) << c.form.bytePar;
        const commands::InductiveCommand inductive = inductiveCommandOf(c.form);
        EXPECT_EQ(inductive.wordPar, c.wordPar);
        EXPECT_EQ(inductive.bytePar, c.bytePar);
    }
    ConfigurationForm broadcast = form("1234", "5", "0", "0");
    broadcast.broadcast = true;
    broadcast.commandIndex = 14;  // DBW
    EXPECT_FALSE(radioCommandOf(broadcast).target.has_value());
    EXPECT_EQ(radioCommandOf(broadcast).code, 26);
}

TEST(FormReader, ContentWordsAreShortsInDecimalOrHexadecimal) {
    ConfigurationForm f;
    f.content = true;
    f.contentWords = {"70000", "-1", "0x10", "x", "1", "2", "3", "4"};
    auto command = radioCommandOf(f);
    ASSERT_EQ(command.content.size(), 1u);  // the second block only with Cont2x
    EXPECT_EQ(qrt::testing::toHex(command.content[0]), "70 11 FF FF 10 00 00 00");
    f.secondContent = true;
    f.contentHex = true;
    f.contentWords = {"FFFF", "1ffff", "-1", "zz", "A", "b", "0x0C", "d"};
    command = radioCommandOf(f);
    ASSERT_EQ(command.content.size(), 2u);
    EXPECT_EQ(qrt::testing::toHex(command.content[0]), "FF FF FF FF FF FF 00 00");
    EXPECT_EQ(qrt::testing::toHex(command.content[1]), "0A 00 0B 00 0C 00 0D 00");
}

TEST(FormReader, IdFilterKeyParameterValueAndCrcStart) {
    struct Filter {
        bool on;
        bool broadcast;
        const char* serial;
        const char* type;
        std::uint32_t filter;
    };
    for (const Filter& c :
         {Filter{false, false, "1234", "5", 0}, Filter{true, true, "1234", "5", 0xFFFFFFFF},
          Filter{true, false, "1234", "5", 0x500004D2},
          Filter{true, false, "0x1FFFFFFF", "5", 0x5FFFFFFF},  // cut to 28 bits
          Filter{true, false, "0x1FFFFFFF", "x", 0x1FFFFFFF},  // bare number
          Filter{true, false, "x", "5", 0}}) {
        EXPECT_EQ(idFilterOf(c.on, c.broadcast, c.serial, c.type), c.filter) << c.serial;
    }
    EXPECT_EQ(typedModule("16", "6"), (frames::ModuleAddress{6, 16}));
    EXPECT_EQ(typedModule("16", "x"), std::nullopt);

    const frames::TeaKey key = keyOf({"12345", "zz", "", "1", "0", "0", "0", "0"});
    EXPECT_EQ(key[0], 0x00002345u);  // low 16 bits; what does not scan is 0
    EXPECT_EQ(key[1], 0x00010000u);
    EXPECT_EQ(keyOf(keyFieldsOf(frames::kDefaultKey)), frames::kDefaultKey);
    EXPECT_EQ(keyFieldsOf(frames::kDefaultKey)[0], "0123");

    for (const auto& [text, value] :
         std::vector<std::pair<std::string, std::optional<std::int32_t>>>{{"0x10", 16},
                                                                          {"0X1f", 31},
                                                                          {"-2", -2},
                                                                          {"010", 8},
                                                                          {"70000", 70000},
                                                                          {"", std::nullopt},
                                                                          {"abc", std::nullopt},
                                                                          {"0x", std::nullopt}}) {
        EXPECT_EQ(parameterValueOf(text), value) << text;
    }
    EXPECT_EQ(crcStartOf("1D0F"), 0x1D0F);
    EXPECT_EQ(crcStartOf("zz"), std::nullopt);  // the CRC start keeps its value
}
