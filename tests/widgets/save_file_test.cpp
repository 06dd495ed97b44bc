// A window's save never ends the program or hangs it: what cannot be written is a warning
// that says why.
#include "ui/save_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "support/fake_dialogs.h"
#include "support/temp_folder.h"

using namespace qrt;
using namespace std::chrono_literals;

namespace {

// More than a pipe holds, so the write must wait for its reader.
const std::string kContents(1 << 20, 'x');

}  // namespace

TEST(WindowSave, AFifoThatIsNotReadIsAWarningNotAHangOrACrash) {
    const qrt::testing::TempFolder folder("qrt_save");
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    enum class Reader { None, NeverReads, Leaves };
    struct Case {
        Reader reader;
        const char* reason;
    };
    for (const Case& c : {Case{Reader::None, "a FIFO that nothing reads"},
                          Case{Reader::NeverReads, "its reader took nothing for 100 ms"},
                          Case{Reader::Leaves, "Broken pipe"}}) {
        const int reader =
            c.reader == Reader::None ? -1 : ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        // The reader that leaves does so once the save has begun to write.
        std::thread leaving([&] {
            int waiting = 0;
            while (c.reader == Reader::Leaves && ::ioctl(reader, FIONREAD, &waiting) == 0 &&
                   waiting == 0) {
                std::this_thread::sleep_for(1ms);
            }
            if (c.reader == Reader::Leaves) {
                ::close(reader);
            }
        });
        qrt::testing::FakeDialogs dialogs;
        EXPECT_FALSE(ui::saveFile(dialogs, nullptr, "Werte", QString::fromStdString(fifo),
                                  kContents, c.reader == Reader::Leaves ? 60'000ms : 100ms));
        leaving.join();
        if (c.reader == Reader::NeverReads) {
            ::close(reader);
        }
        EXPECT_EQ(dialogs.warnings,
                  QStringList{"Werte: Can't write " + QString::fromStdString(fifo)});
        EXPECT_EQ(dialogs.reasons.value(0).toStdString(), c.reason);
    }
}
