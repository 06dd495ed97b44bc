// The tools' output files.
#include "common/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "support/temp_folder.h"

using namespace qrt;

TEST(OutputFile, AnOutputMovedAwayClosesNothingBehindIt) {
    const qrt::testing::TempFolder folder("qrt_output");
    const bool inputOpen = ::fcntl(STDIN_FILENO, F_GETFD) != -1;
    std::optional<common::OutputFile> kept;
    {
        common::OutputFile first = common::OutputFile::create(folder.file("first.txt"));
        common::OutputFile second = common::OutputFile::create(folder.file("second.txt"));
        second = std::move(first);  // closes second.txt, takes first.txt over
        kept.emplace(std::move(second));
    }  // the two outputs moved away from go here
    EXPECT_EQ(::fcntl(STDIN_FILENO, F_GETFD) != -1, inputOpen);
    kept->write("kept\n");
    EXPECT_TRUE(kept->close()) << kept->failure();
    std::ostringstream text;
    text << std::ifstream(folder.file("first.txt")).rdbuf();
    EXPECT_EQ(text.str(), "kept\n");
}
