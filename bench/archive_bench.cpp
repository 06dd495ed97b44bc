// The archive: export of a full ring, and a full read from qrt-sim at the line rate.
#include <benchmark/benchmark.h>
#include <signal.h>

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/Vlgarchives.h"
#include "archive/csv_export.h"
#include "archive/record_search.h"
#include "link/qt_serial_port.h"
#include "sim/archive_ring.h"
#include "support/fake_dialogs.h"
#include "support/real_window.h"

namespace {

using namespace qrt;

// A full, wrapped ring of records: Temp0 and Counter1 a minute apart.
std::vector<std::uint16_t> fullRing() {
    sim::ArchiveConfig config;
    config.rows = 40000;
    config.rowsPerRecord = 120;
    config.config = 0x0301;
    config.start = std::chrono::sys_days{std::chrono::year(2026) / 10 / 1};
    const sim::ArchiveRing ring(config);
    std::vector<std::uint16_t> words(65536, 0xFFFF);
    for (std::uint32_t b = 0; b < sim::ArchiveRing::kBlocks; ++b) {
        const auto block = ring.block(b);
        std::copy(block.begin(), block.end(), words.begin() + b * 32);
    }
    return words;
}

void BM_ExportFullArchive(benchmark::State& state) {
    const auto words = fullRing();
    const std::uint32_t writeWord = (2 * 40000 + 4 * 334) % archive::kRingWords;
    const auto first = archive::findRecord(words, (writeWord / 32 + 1) * 32, writeWord);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out;
        archive::writeCsv({words, writeWord, first.index, 0}, out);
        bytes = out.str().size();
    }
    state.counters["csv_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportFullArchive)->Unit(benchmark::kMillisecond);

// The whole ring read inductively from qrt-sim pacing its output at 19200 baud. The
// line-rate minimum is 2,044 x 77 bytes at 1,920 bytes a second, about 82 s.
void BM_FullReadAtLineRate(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "qrt_bench_archive";
    std::filesystem::create_directories(dir);
    const std::string a = (dir / "a").string();
    const std::string b = (dir / "b").string();
    const std::string command =
        std::string(QRT_SIM_PATH) + " --realtime --link-a " + a + " --link-b " + b +
        " --module 6.16,archive_rows=40000,archive_record_rows=120,"
        "archive_config=769,archive_start=2026-10-01T00:00 > /dev/null 2>&1 & echo $!";
    FILE* pipe = ::popen(command.c_str(), "r");
    int pid = 0;
    if (std::fscanf(pipe, "%d", &pid) != 1) {
        state.SkipWithError("simulator did not start");
    }
    ::pclose(pipe);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    common::SystemClock clock;
    testing::FakeDialogs dialogs;
    std::ostringstream diagnostics;
    auto window =
        testing::realWindow(dir.string(), a, b, clock, dialogs, diagnostics, "binprot=1\n");
    testing::openLink(window);
    const auto archiveWindow = testing::archiveWindow(*window.core, dialogs, *window.form);
    const TVLGLog& archive = *archiveWindow;
    const testing::ArchiveWindowControls archiveUi(archive);
    archiveWindow->show();
    archiveUi.DTP_Date->setDate(QDate(2000, 1, 1));
    for (auto _ : state) {
        QTest::mouseClick(archiveUi.BtInfo, Qt::LeftButton);
    }
    state.counters["blocks"] = static_cast<double>(archive.lastRead().blocksReceived);
    state.SetLabel(archiveUi.ED_Status->text().toStdString());
    ::kill(pid, SIGTERM);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FullReadAtLineRate)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
