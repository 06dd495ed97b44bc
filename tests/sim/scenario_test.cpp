#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qrt::sim;

namespace {

class ScenarioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("qrt_scenario_" + std::to_string(::getpid()) + ".ini");
    }
    void TearDown() override { std::filesystem::remove(path_); }
    bool load(const std::string& text) {
        std::ofstream(path_) << text;
        scenario_ = {};
        error_.clear();
        return loadScenario(path_.string(), scenario_, error_);
    }
    std::filesystem::path path_;
    Scenario scenario_;
    std::string error_;
};

}  // namespace

TEST_F(ScenarioTest, ReadsSimSettingsAndModules) {
    ASSERT_TRUE(
        load("[sim]\ncrc_start=1D0F\nbox_version=0x0456\nhead=6.16\n"
             "[module 5.1234]\nversion=2.3\nperiod=1.5\ntelegrams=temp1/short\n"
             "key=0123:4567:89AB:CDEF:FEDC:BA98:7654:3210\n"
             "[module 6.16]\ntemp1=-12.5\narchive_rows=500\narchive_start=2026-11-30T23:15\n"))
        << error_;
    EXPECT_EQ(scenario_.options.crcStart, 0x1D0F);
    EXPECT_EQ(scenario_.options.boxVersion, 0x0456);
    EXPECT_EQ(scenario_.options.headModule, (qrt::frames::ModuleAddress{6, 16}));
    ASSERT_EQ(scenario_.modules.size(), 2u);
    EXPECT_EQ(scenario_.modules[0].versionMinor, 3);
    EXPECT_EQ(scenario_.modules[0].telegrams.size(), 2u);
    EXPECT_EQ((*scenario_.modules[0].authKey)[0], 0x45670123u);
    EXPECT_EQ(scenario_.modules[1].temp1, -1250);
    EXPECT_EQ(scenario_.modules[1].archive.rows, 500u);
}

TEST_F(ScenarioTest, ErrorsNameTheSectionAndKey) {
    EXPECT_FALSE(load("[module 5.1]\ntemp1=warm\n"));
    EXPECT_NE(error_.find("[module 5.1] temp1: bad value 'warm'"), std::string::npos) << error_;
    EXPECT_FALSE(load("[module 5.1]\ncolour=blue\n"));
    EXPECT_EQ(error_, "line 2: [module 5.1]: unknown key 'colour'");
    EXPECT_FALSE(load("[module 16.1]\n"));
    EXPECT_NE(error_.find("[module 16.1]"), std::string::npos);
    EXPECT_FALSE(load("[gadget]\n"));
    EXPECT_NE(error_.find("[gadget]: unknown section"), std::string::npos);
    EXPECT_FALSE(load("[sim]\nsignal=300\n"));
    EXPECT_EQ(error_, "line 2: [sim] signal: bad value '300'");
    EXPECT_FALSE(load("[module 5.1]\narchive_start=2026-02-30T10:00\n"));
    // Keys that only together leave the telegram's range, and one module named twice.
    EXPECT_FALSE(load("[module 5.1]\nswing=100\ntemp1=300\n"));
    EXPECT_EQ(error_,
              "line 1: [module 5.1]: temp1 with swing leaves the telegram's range (temp1 +/- "
              "swing must lie within -327.67 to 327.67 degrees)");
    EXPECT_FALSE(load("[module 5.1]\n[module 5.01]\n"));
    EXPECT_EQ(error_, "line 2: [module 5.01]: module 5.1 is given twice");
    EXPECT_FALSE(load("[module 5.1]\nperiod=1e300\n"));
}

TEST_F(ScenarioTest, MalformedFilesAreRefusedNamingTheLine) {
    struct Case {
        std::string text;
        std::string error;
    };
    for (const Case& c : {
             Case{"[module 5.1]\nperiod\n",
                  "line 2: expected [section] or key=value, got 'period'"},
             Case{"[module 5.1\nperiod=1\n", "line 1: unclosed section '[module 5.1'"},
             Case{"[module 5.1]\n[sim]\n[module 5.1]\n",
                  "line 3: [module 5.1] repeated (first at line 1)"},
             Case{"[module 5.1]\nperiod=1\nperiod=2\n",
                  "line 3: [module 5.1] period: repeated (first at line 2)"},
             Case{"[module 5.1]\ntelegrams=\n", "line 2: [module 5.1] telegrams: empty value"},
             Case{"period=1\n", "line 1: key=value before the first section"},
         }) {
        EXPECT_FALSE(load(c.text));
        EXPECT_EQ(error_, c.error);
    }
    EXPECT_TRUE(load("; comment\n# comment\n\n[module 5.1]\r\n  period = 2 \r\n")) << error_;
    EXPECT_EQ(scenario_.modules.at(0).period, 2.0);
}

TEST(ModuleSpec, ParsesOptionsAndRejectsBadOnes) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(addModuleOption("6.16,period=2,running=0,lose_archive_blocks=3/4", scenario, error))
        << error;
    EXPECT_FALSE(scenario.modules[0].running);
    EXPECT_EQ(scenario.modules[0].loseArchiveBlocks.size(), 2u);
    EXPECT_FALSE(addModuleOption("6", scenario, error));
    EXPECT_FALSE(addModuleOption("6.16,period", scenario, error));
    EXPECT_NE(error.find("expected key=value"), std::string::npos);
}
