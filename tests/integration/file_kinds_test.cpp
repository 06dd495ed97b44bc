#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/log_file.h"
#include "common/replacing_file.h"
#include "common/settings_file.h"
#include "support/temp_folder.h"

using qrt::common::LogFile;
using qrt::common::ReplacingFile;
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

// A save writes what a link points to, also a file still to be created (the link stays a
// link), and removes what killed saves of the same file left beside it; a save in
// progress and the operator's own files stay. A folder that takes no file is named.
TEST(FileKinds, SaveFollowsLinksAndClearsWhatKilledSavesLeft) {
    const TempFolder folder("qrt_file_kinds");
    const auto exists = [&](const char* name) {
        return std::filesystem::exists(folder.file(name));
    };
    std::filesystem::create_symlink("target.csv", folder.file("link.csv"));
    std::ofstream(folder.file("target.csv.Ab12Cd.partial")) << "half an export";
    std::ofstream(folder.file("target.csv.backup")) << "the operator's";
    std::ofstream(folder.file("target.csv.Xy34Zw.partial")) << "being written";
    const int inProgress = ::open(folder.file("target.csv.Xy34Zw.partial").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(inProgress, LOCK_EX), 0);

    ReplacingFile save(folder.file("link.csv"));
    save.write("DateTime;Temp0\r");
    ASSERT_TRUE(save.commit()) << save.failure();
    ::close(inProgress);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.csv")));
    std::ifstream written(folder.file("target.csv"));
    std::string line;
    EXPECT_TRUE(std::getline(written, line));
    EXPECT_EQ(line, "DateTime;Temp0\r");
    EXPECT_FALSE(exists("target.csv.Ab12Cd.partial"));
    EXPECT_TRUE(exists("target.csv.backup"));
    EXPECT_TRUE(exists("target.csv.Xy34Zw.partial"));

    const ReplacingFile refused(folder.file("missing/a.csv"));
    EXPECT_EQ(refused.failure(), "cannot write " + folder.file("missing/a.csv") +
                                     ": No such file or directory: no file can be made in the "
                                     "folder " +
                                     folder.file("missing"));
}
