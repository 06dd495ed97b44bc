// Soak run: the main window against qrt-sim at a sustained line-rate stream. Polls as
// Timer1 does, every 500 ms, and reports memory per pane line, the slowest polls and
// whether the log file holds every debug line. Usage: qrt-soak MINUTES SIM-LINK-A SIM-LINK-B FOLDER
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/log_pane.h"
#include "support/fake_dialogs.h"
#include "support/process_memory.h"
#include "support/real_window.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: qrt-soak MINUTES LINK-A LINK-B FOLDER\n";
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const double minutes = std::stod(argv[1]);
    const std::string folder = argv[4];
    const std::string log = folder + "/soak.log";
    qrt::common::SystemClock clock;
    qrt::testing::FakeDialogs dialogs;
    std::ostringstream diagnostics;
    auto window = qrt::testing::realWindow(folder, argv[2], argv[3], clock, dialogs, diagnostics,
                                           "[Log]\nFile=" + log + "\n");
    TMainForm& form = *window.form;
    form.show();
    if (!qrt::testing::openLink(window)) {
        std::cerr << "cannot open the simulator's ports\n";
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double, std::ratio<60>>(minutes);
    long rssAtFirstMinute = 0;
    std::size_t linesAtFirstMinute = 0;
    double slowestFirstMinute = 0;
    double slowestLastMinute = 0;
    std::size_t polls = 0;
    while (std::chrono::steady_clock::now() < end) {
        const auto t0 = std::chrono::steady_clock::now();
        form.Timer1Timer();
        QCoreApplication::processEvents();
        const double took =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        const double elapsed = std::chrono::duration<double>(t0 - start).count();
        ++polls;
        if (elapsed > 10 && elapsed < 70) {
            slowestFirstMinute = std::max(slowestFirstMinute, took);
        }
        if (elapsed >= 70 && rssAtFirstMinute == 0) {
            rssAtFirstMinute = qrt::testing::residentKilobytes();
            linesAtFirstMinute = window.ui->ME_Debug->lineCount() + window.ui->ME_Comm->lineCount();
        }
        if (std::chrono::steady_clock::now() > end - std::chrono::minutes(1)) {
            slowestLastMinute = std::max(slowestLastMinute, took);
        }
        std::this_thread::sleep_until(t0 + std::chrono::milliseconds(500));
    }
    const std::size_t debugLines = window.ui->ME_Debug->lineCount();
    const std::size_t lines = debugLines + window.ui->ME_Comm->lineCount();
    const long rss = qrt::testing::residentKilobytes();
    QTest::mouseClick(window.ui->BTClose, Qt::LeftButton);
    std::size_t logged = 0;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        ++logged;
    }
    const double bytesPerLine =
        lines > linesAtFirstMinute
            ? (rss - rssAtFirstMinute) * 1024.0 / static_cast<double>(lines - linesAtFirstMinute)
            : 0;
    std::printf("polls %zu, pane lines %zu (debug %zu), log lines %zu\n", polls, lines, debugLines,
                logged);
    std::printf("memory growth per pane line after the first minute: %.1f bytes\n", bytesPerLine);
    std::printf("slowest poll: first minute %.1f ms, last minute %.1f ms\n", slowestFirstMinute,
                slowestLastMinute);
    const bool logComplete = logged == debugLines;
    std::printf("log file %s\n", logComplete ? "complete" : "INCOMPLETE");
    return logComplete && bytesPerLine <= 200 &&
                   slowestLastMinute <= std::max(300.0, slowestFirstMinute * 1.5)
               ? 0
               : 1;
}
