#include "common/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using qrt::common::SettingsFile;

namespace {

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("qrt_settings_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
        std::filesystem::remove(path_);
    }
    void TearDown() override { std::filesystem::remove(path_); }
    void writeFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string fileText() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::filesystem::path path_;
};

}  // namespace

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    SettingsFile settings(path_.string());
    EXPECT_EQ(settings.readString("Config", "InterfaceA", "COM1", 10), "COM1");
    EXPECT_EQ(settings.readInt("Config", "MXL", 0), 0);
    EXPECT_TRUE(settings.writeString("Config", "MXL", "1"));
    EXPECT_NE(fileText().find("MXL=1"), std::string::npos);
    EXPECT_EQ(settings.readInt("config", "mxl", 0), 1);  // names are case-insensitive
}

TEST_F(SettingsFileTest, BufferSizeKeepsOneCharacterLessThanItsBytes) {
    writeFile("[Settings]\nIDh=12\nID=0x0FFFFFFF\n[Log]\nFile=" + std::string(200, 'x') + "\n");
    SettingsFile settings(path_.string());
    EXPECT_EQ(settings.readString("Settings", "IDh", "5", 2), "1");
    EXPECT_EQ(settings.readString("Settings", "ID", "0", 10), "0x0FFFFFF");
    EXPECT_EQ(settings.readString("Settings", "ID", "0", 11), "0x0FFFFFFF");
    EXPECT_EQ(settings.readString("Log", "File", "", 130).size(), 129u);
}

TEST_F(SettingsFileTest, IntegerTakesLeadingNumberAndMissingKeyTheDefault) {
    writeFile("[Config]\nMXL=5\nbinprot=abc\n[Calib]\nOffset=-25\n");
    SettingsFile settings(path_.string());
    EXPECT_EQ(settings.readInt("Config", "MXL", 0), 5);
    EXPECT_EQ(settings.readInt("Config", "binprot", 7), 0);
    EXPECT_EQ(settings.readInt("Calib", "Offset", -13), -25);
    EXPECT_EQ(settings.readInt("Calib", "Other", -13), -13);
}

TEST_F(SettingsFileTest, WritingKeepsCommentsAndForeignKeys) {
    writeFile("; tool settings\n[Config]\nInterfaceA=COM3\nVendor=keep me\n[Other]\nx=1\n");
    SettingsFile settings(path_.string());
    ASSERT_TRUE(settings.writeString("Config", "InterfaceA", "/dev/ttyUSB0"));
    const std::string text = fileText();
    EXPECT_NE(text.find("; tool settings"), std::string::npos);
    EXPECT_NE(text.find("Vendor=keep me"), std::string::npos);
    EXPECT_NE(text.find("[Other]"), std::string::npos);
    EXPECT_NE(text.find("InterfaceA=/dev/ttyUSB0"), std::string::npos);
}

TEST_F(SettingsFileTest, JunkAndOverlongLinesNeverCrash) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk.push_back(static_cast<char>((i * 37) & 0xFF));
    }
    writeFile(junk + "\n[Config]\nMXL=1\nMXL=0\n" + std::string(100000, 'k') + "=v\n");
    SettingsFile settings(path_.string());
    const std::string value = settings.readString("Config", "InterfaceA", "COM1", 256);
    EXPECT_LE(value.size(), 255u);
    (void)settings.readInt("Config", "MXL", 0);
}
