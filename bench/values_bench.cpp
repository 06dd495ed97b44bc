// The values window's costs: memory for 100 series of 100,000 points, a live update of
// one poll's values, and a full redraw of the plot at 100,000 points (drawn offscreen).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>

#include "app/values_plot.h"
#include "app/values_window.h"
#include "support/fake_dialogs.h"
#include "values/value_history.h"

namespace {

using namespace qrt;

constexpr std::size_t kSeries = 100;

receive::Measurement valueAt(std::int64_t poll, std::size_t series) {
    // One value per series and poll, 500 ms apart, a temperature wave.
    const common::Timestamp time{1'764'547'200'000LL + poll * 500, 3600};
    static const std::array<std::string_view, 4> kChannels{"Temp1", "Temp2", "Count1", "Bat"};
    return {.time = time,
            .module = {.type = 6, .number = static_cast<std::uint32_t>(series / 4)},
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

}  // namespace
