// End to end: the archive window reads a wrapped archive from qrt-sim inductively and by
// radio, and its CSV equals the one derived here from the simulated module's records.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimeEdit>
#include <cstdlib>

#include "app/Vlgarchives.h"
#include "common/text_format.h"
#include "sim/archive_ring.h"
#include "support/quick_clock.h"
#include "support/sim_window_fixture.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono;

namespace {

constexpr std::uint32_t kRows = 40000;
constexpr std::uint32_t kRowsPerRecord = 120;
constexpr std::uint16_t kConfig = 0x0301;  // Temp0 and Counter1, one row a minute
constexpr std::uint32_t kWordsPerRecord = 4 + 2 * kRowsPerRecord;

sim::ArchiveConfig archiveConfig() {
    sim::ArchiveConfig config;
    config.rows = kRows;
    config.rowsPerRecord = kRowsPerRecord;
    config.config = kConfig;
    config.start = sys_days{year(2026) / 10 / 1};
    return config;
}

// The CSV of every record the ring still holds whole: those whose header lies at or
// behind the start of the block after the newest one.
std::string expectedCsv(const sim::ArchiveRing& ring) {
    const std::uint64_t total =
        2ull * kRows + 4ull * ((kRows + kRowsPerRecord - 1) / kRowsPerRecord);
    const std::uint64_t writeWord = total % sim::ArchiveRing::kWords;
    const std::uint64_t oldestKept =
        total - sim::ArchiveRing::kWords + (32 * (writeWord / 32 + 1) - writeWord);
    std::string csv = "DateTime;Temp0;Counter1\r";
    for (std::uint32_t row = 0; row < kRows; ++row) {
        const std::uint64_t header =
            (row / kRowsPerRecord) * static_cast<std::uint64_t>(kWordsPerRecord);
        if (header < oldestKept) {
            continue;
        }
        const sim::ArchiveRow& r = ring.rows()[row];
        const sys_days day = floor<days>(r.time);
        const year_month_day date{day};
        const hh_mm_ss<seconds> time{r.time - day};
        csv += common::format<"%02u.%02u.%04d %02ld:%02ld:%02ld;%d,%02d;%u\r">(
            static_cast<unsigned>(date.day()), static_cast<unsigned>(date.month()),
            static_cast<int>(date.year()), time.hours().count(), time.minutes().count(),
            static_cast<long>(time.seconds().count()), static_cast<std::int16_t>(r.words[0]) / 100,
            std::abs(static_cast<std::int16_t>(r.words[0]) % 100),
            static_cast<unsigned>(r.words[1] >> 1));
    }
    return csv;
}

// The window over qrt-sim with the archive window beside it.
template <typename Base, typename Clock>
class ArchiveWindowEndToEnd : public Base, protected SimWindowFixture {
  protected:
    ArchiveWindowEndToEnd() : SimWindowFixture(std::make_unique<Clock>()) {}
    ~ArchiveWindowEndToEnd() override {
        archiveUi_.reset();
        archive_.reset();
    }

    std::unique_ptr<TVLGLog> archive_;
    std::unique_ptr<ArchiveWindowControls> archiveUi_;
};

using ArchiveEndToEnd = ArchiveWindowEndToEnd<::testing::TestWithParam<bool>, QuickClock>;

using ArchiveCommandLine = ArchiveWindowEndToEnd<::testing::Test, common::SystemClock>;

}  // namespace

TEST_P(ArchiveEndToEnd, FullWrappedArchiveWithLostBlocksGivesTheExpectedCsv) {
    const bool radio = GetParam();
    const std::string module = common::format<
        "6.16,archive_rows=%u,archive_record_rows=%u,archive_config=%u,"
        "archive_start=2026-10-01T00:00,lose_archive_blocks=5/700/2043">(kRows, kRowsPerRecord,
                                                                         kConfig);
    start({"--module", module, "--head", "6.16"}, "binprot=1\n[Settings]\nID=16\nIDh=6\n");
    archive_ = archiveWindow(*core_, dialogs_, *form_);
    archiveUi_ = std::make_unique<ArchiveWindowControls>(*archive_);
    archive_->show();
    archiveUi_->DTP_Date->setDate(QDate(2000, 1, 1));  // read the whole ring
    (radio ? archiveUi_->RB_Radio : archiveUi_->RB_Ind)->setChecked(true);

    QTest::mouseClick(archiveUi_->BtInfo, Qt::LeftButton);
    EXPECT_EQ(archiveUi_->ED_Status->text(), "Ready") << readText(path("sim.log")).substr(0, 2000);
    EXPECT_TRUE(archive_->lastRead().wrapped);
    EXPECT_EQ(archive_->lastRead().blocksReceived, 2044u);
    ASSERT_TRUE(archiveUi_->Bt_CSV->isEnabled());

    dialogs_.saveAnswer = QString::fromStdString(path("archive.csv"));
    QTest::mouseClick(archiveUi_->Bt_CSV, Qt::LeftButton);
    const std::string csv = readText(path("archive.csv"));
    const std::string expected = expectedCsv(sim::ArchiveRing(archiveConfig()));
    EXPECT_EQ(csv.size(), expected.size());
    EXPECT_TRUE(csv == expected)
        << "first difference at byte "
        << std::distance(
               csv.begin(),
               std::mismatch(csv.begin(), csv.end(), expected.begin(), expected.end()).first);
}

INSTANTIATE_TEST_SUITE_P(Paths, ArchiveEndToEnd, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Radio" : "Inductive"; });

TEST_F(ArchiveCommandLine, CsvEqualsTheArchiveWindowsByteForByte) {
    start({"--module",
           "6.16,archive_rows=3000,archive_record_rows=100,archive_config=0x0301,"
           "archive_start=2026-10-01T00:00",
           "--head", "6.16"},
          "binprot=1\n[Settings]\nID=16\nIDh=6\n");
    archive_ = archiveWindow(*core_, dialogs_, *form_);
    archiveUi_ = std::make_unique<ArchiveWindowControls>(*archive_);
    archive_->show();
    archiveUi_->DTP_Date->setDate(QDate(2026, 10, 2));  // from midnight on
    archiveUi_->DTP_Time->setTime(QTime(0, 0, 0));
    QTest::mouseClick(archiveUi_->BtInfo, Qt::LeftButton);
    ASSERT_EQ(archiveUi_->ED_Status->text(), "Ready");
    dialogs_.saveAnswer = QString::fromStdString(path("window.csv"));
    QTest::mouseClick(archiveUi_->Bt_CSV, Qt::LeftButton);
    form_->BTCloseClick();  // the ports are the command line's now

    const std::string command = std::string(QRT_CLI_PATH) + " --port-a " + path("a") +
                                " --port-b " + path("b") + " archive --since 2026-10-02T00:00 -o " +
                                path("cli.csv") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string window = readText(path("window.csv"));
    EXPECT_GT(window.size(), 1000U);
    EXPECT_TRUE(readText(path("cli.csv")) == window);
}
