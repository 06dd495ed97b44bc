// The main window's costs: appending lines to a pane at any size, the memory a line
// takes, and the time from start to the window shown.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Testunit1.h"
#include "app/log_pane.h"
#include "link/null_port.h"
#include "support/fake_dialogs.h"
#include "support/process_memory.h"
#include "support/pty_pair.h"
#include "support/real_window.h"
#include "ui/dialogs.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// 1,000,000 lines of 60 characters into a shown pane, measured in slices of 100,000:
// the cost per line must not grow with the lines already held.
void BM_PaneAppendMillionLines(benchmark::State& state) {
    const std::string line =
        "16:38:41.5  R:1 ID:5.1234 Bat_Dig B:3.00 D:1 2 0 .........";  // 60 characters
    for (auto _ : state) {
        qrt::app::LogPane pane;
        pane.resize(560, 195);
        pane.show();
        const long before = qrt::testing::residentKilobytes();
        double firstSlice = 0;
        double lastSlice = 0;
        for (int slice = 0; slice < 10; ++slice) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < 100000; ++i) {
                pane.appendLine(line);
            }
            QCoreApplication::processEvents();  // the repaint a timer tick would cause
            const double us =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count() /
                100000;
            (slice == 0 ? firstSlice : lastSlice) = us;
        }
        state.counters["us_per_line_first_100k"] = firstSlice;
        state.counters["us_per_line_last_100k"] = lastSlice;
        state.counters["store_bytes_per_line"] = static_cast<double>(pane.store().capacityBytes()) /
                                                 static_cast<double>(pane.lineCount());
        state.counters["rss_bytes_per_line"] =
            static_cast<double>(qrt::testing::residentKilobytes() - before) * 1024.0 / 1e6;
    }
}
BENCHMARK(BM_PaneAppendMillionLines)->Unit(benchmark::kSecond)->Iterations(1);

// Find in a pane of 1,000,000 lines whose only match is in the last line: typing the
// term (search from the top, count the matches) and "next" round to the same match.
void BM_PaneFindOverAMillionLines(benchmark::State& state) {
    qrt::app::LogPane pane;
    pane.resize(560, 195);
    pane.show();
    for (int i = 0; i < 1000000; ++i) {
        pane.appendLine("16:38:41.5  R:1 ID:5.1234 Bat_Dig B:3.00 D:1 2 0 .........");
    }
    pane.appendLine("16:38:41.5  R:1 ID:6.16 Temp1   T:21.50 18 0 Wanted");
    pane.verticalScrollBar()->setValue(0);
    pane.openFind();
    auto* text = pane.findChild<QLineEdit*>("FindText");
    for (auto _ : state) {
        text->setText("wanted");  // one keystroke's search
        pane.findNext();
        text->clear();
    }
    state.counters["lines"] = static_cast<double>(pane.lineCount());
}
BENCHMARK(BM_PaneFindOverAMillionLines)->Unit(benchmark::kMillisecond)->Iterations(5);

// From constructing the window (settings read) to the window shown and painted.
void BM_WindowStartToShown(benchmark::State& state) {
    qrt::common::SystemClock clock;
    qrt::testing::FakeDialogs dialogs;
    std::ostringstream diagnostics;
    for (auto _ : state) {
        qrt::core::ToolCore core(std::make_unique<qrt::link::NullPort>(),
                                 std::make_unique<qrt::link::NullPort>(), diagnostics, clock);
        TMainForm form({.core = core,
                        .dialogs = dialogs,
                        .executablePath = "/tmp/qrt-bench-tester",
                        .availablePorts = {}});
        form.show();
        QCoreApplication::processEvents();
    }
    state.counters["peak_rss_mb"] = static_cast<double>(peakKilobytes()) / 1024.0;
}
BENCHMARK(BM_WindowStartToShown)->Unit(benchmark::kMillisecond)->Iterations(20);

// CPU of the open window, idle, for 15 s after the inductive head's adapter alone went
// away (the pseudo-terminal's other end closed): the loss is reported once and the
// window goes quiet.
void BM_IdleCpuAfterInductiveHeadPulled(benchmark::State& state) {
    qrt::common::SystemClock clock;
    qrt::testing::FakeDialogs dialogs;
    std::ostringstream diagnostics;
    for (auto _ : state) {
        qrt::testing::PtyPair a;
        qrt::testing::PtyPair b;
        const std::string folder = "/tmp/qrt-bench-pull-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        auto window = qrt::testing::realWindow(folder, a.slavePath(), b.slavePath(), clock, dialogs,
                                               diagnostics);
        window.form->BTOpenClick();
        window.ui->Timer1->start();
        b.closeMaster();
        const double cpuBefore = cpuSeconds();
        QEventLoop idle;
        QTimer::singleShot(15000, &idle, &QEventLoop::quit);
        idle.exec();
        state.counters["cpu_percent"] = (cpuSeconds() - cpuBefore) / 15.0 * 100.0;
        const std::string lines = diagnostics.str();
        std::size_t reports = 0;
        for (auto at = lines.find(" lost\n"); at != std::string::npos;
             at = lines.find(" lost\n", at + 1)) {
            ++reports;
        }
        state.counters["loss_reports"] = static_cast<double>(reports);
        std::filesystem::remove_all(folder);
    }
}
BENCHMARK(BM_IdleCpuAfterInductiveHeadPulled)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
