#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "common/log_file.h"
#include "common/settings_file.h"
#include "support/temp_folder.h"

using qrt::common::LogFile;
using qrt::common::SettingsFile;
using qrt::testing::TempFolder;

// Files that are not what they seem must never make the program wait.
TEST(FileKinds, LogFileTakesOnlyRegularFilesAndDevicesAndNeverWaits) {
    const TempFolder folder("qrt_file_kinds");
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool opens;
    };
    for (const Case& c :
         {Case{folder.file("new.log"), true}, Case{"/dev/null", true}, Case{fifo, false},
          Case{folder.path().string(), false}, Case{folder.file("missing/x.log"), false}}) {
        LogFile log;
        EXPECT_EQ(log.open(c.path), c.opens) << c.path;
        log.writeLine("12:00:00.0  ID:5.1");
    }
    std::ifstream in(folder.file("new.log"));
    std::string line;
    EXPECT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "12:00:00.0  ID:5.1");
}

TEST(FileKinds, SettingsFileThatIsAFifoGivesDefaultsAndIsNotOverwritten) {
    const TempFolder folder("qrt_file_kinds");
    const std::string fifo = folder.file("qrt-tester.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SettingsFile settings(fifo);
    EXPECT_EQ(settings.readString("Config", "InterfaceA", "COM1", 256), "COM1");
    EXPECT_EQ(settings.readInt("Config", "MXL", 7), 7);
    EXPECT_FALSE(settings.writeString("Config", "MXL", "1"));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}
