// The values window's costs: memory for 100 series of 100,000 points, a live update of
// one poll's values, and a full redraw of the plot at 100,000 points (drawn offscreen).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <ctime>

#include "app/values_plot.h"
#include "app/values_window.h"
#include "support/fake_dialogs.h"
#include "support/process_memory.h"
#include "values/value_history.h"

namespace {

using namespace qrt;

constexpr std::size_t kSeries = 100;

receive::Measurement valueAt(std::int64_t poll, std::size_t series) {
    // One value per series and poll, 500 ms apart, a temperature wave.
    const common::Timestamp time{1'764'547'200'000LL + poll * 500, 3600};
    static const std::array<std::string_view, 4> kChannels{"Temp1", "Temp2", "Count1", "Bat"};
    return {.time = time,
            .source = {.module = {6, static_cast<std::uint32_t>(series / 4)}},
            .channel = kChannels[series % 4],
            .raw = static_cast<std::int32_t>(2000 +
                                             (poll * 7 + static_cast<std::int64_t>(series)) % 800),
            .scale = 0.01,
            .unit = receive::Unit::Celsius};
}

void fill(values::ValueHistory& history, std::int64_t polls) {
    for (std::int64_t poll = 0; poll < polls; ++poll) {
        for (std::size_t s = 0; s < kSeries; ++s) {
            history.add(valueAt(poll, s));
        }
    }
}

void BM_ValuesPointMemory100Series(benchmark::State& state) {
    for (auto _ : state) {
        values::ValueHistory history;
        fill(history, values::PointRing::kCapacity);
        state.counters["point_MB"] = static_cast<double>(history.pointMemoryBytes()) / 1e6;
        state.counters["points"] =
            static_cast<double>(history.size() * history.at(0).points.size());
    }
}
BENCHMARK(BM_ValuesPointMemory100Series)->Unit(benchmark::kSecond)->Iterations(1);

struct ShownWindow {
    values::ValueHistory history;
    testing::FakeDialogs dialogs;
    std::unique_ptr<app::ValuesWindow> window;
    std::int64_t polls = values::PointRing::kCapacity;

    ShownWindow() {
        fill(history, polls);
        window = std::make_unique<app::ValuesWindow>(app::ValuesWindowServices{
            .history = history, .dialogs = dialogs, .settingsPath = [] { return std::string(); }});
        window->resize(1200, 800);
        window->show();
        auto* table = window->findChild<QTableView*>("ValuesTable");
        for (int row = 0; row < 4; ++row) {
            table->selectionModel()->select(
                table->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QApplication::processEvents();
    }
};

// One poll's 100 values into a shown window with four plotted series of 100,000 points.
void BM_ValuesLiveUpdateOfOnePoll(benchmark::State& state) {
    ShownWindow shown;
    for (auto _ : state) {
        for (std::size_t s = 0; s < kSeries; ++s) {
            shown.history.add(valueAt(shown.polls, s));
        }
        ++shown.polls;
        shown.window->pollFinished();
    }
}
BENCHMARK(BM_ValuesLiveUpdateOfOnePoll)->Unit(benchmark::kMillisecond);

// The plot drawn anew: four series of 100,000 points reduced from scratch (as after a
// zoom) and painted into an image.
void BM_ValuesFullRedraw(benchmark::State& state) {
    ShownWindow shown;
    auto* plot = shown.window->findChild<app::ValuesPlot*>("ValuesPlot");
    for (auto _ : state) {
        plot->setRows(plot->rows());
        benchmark::DoNotOptimize(plot->grab());
    }
}
BENCHMARK(BM_ValuesFullRedraw)->Unit(benchmark::kMillisecond);

// A technician's live view: 100 plotted series, each updated once per poll, the window
// painted after every poll. CPU time per poll against the poll's 500 ms gives the share of
// a core; ten minutes of polls show whether memory stays flat, and Clear whether the
// points' memory is given back.
void BM_ValuesPlot100SeriesLive(benchmark::State& state) {
    values::ValueHistory history;
    testing::FakeDialogs dialogs;
    std::int64_t polls = 600;  // five minutes already on the plot
    fill(history, polls);
    app::ValuesWindow window(app::ValuesWindowServices{
        .history = history, .dialogs = dialogs, .settingsPath = [] { return std::string(); }});
    window.resize(1200, 800);
    window.show();
    window.findChild<QTableView*>("ValuesTable")->selectAll();
    QApplication::processEvents();
    const auto poll = [&] {
        for (std::size_t s = 0; s < kSeries; ++s) {
            history.add(valueAt(polls, s));
        }
        ++polls;
        window.pollFinished();
        window.repaint();
        QApplication::processEvents();
    };
    for (int i = 0; i < 20; ++i) {
        poll();  // settle
    }
    const long before = testing::residentKilobytes();
    const std::clock_t cpuStart = std::clock();
    std::int64_t done = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1200; ++i) {  // ten minutes at two polls a second
            poll();
        }
        done += 1200;
    }
    const double cpuPerPoll =
        static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / static_cast<double>(done);
    state.counters["core_percent"] = cpuPerPoll / 0.5 * 100;
    state.counters["rss_growth_MB"] =
        static_cast<double>(testing::residentKilobytes() - before) / 1e3;
    // A day of values later (as after a long session), Clear gives their memory back.
    for (int i = 0; i < 50'000; ++i) {
        for (std::size_t s = 0; s < kSeries; ++s) {
            history.add(valueAt(polls, s));
        }
        ++polls;
    }
    poll();
    state.counters["points_MB"] = static_cast<double>(history.pointMemoryBytes()) / 1e6;
    const long full = testing::residentKilobytes();
    window.findChild<QPushButton*>("ValuesClear")->click();
    QApplication::processEvents();
    state.counters["clear_gives_back_MB"] =
        static_cast<double>(full - testing::residentKilobytes()) / 1e3;
}
BENCHMARK(BM_ValuesPlot100SeriesLive)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
