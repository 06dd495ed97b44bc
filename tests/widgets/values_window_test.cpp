// The values window and the places of the windows: what a technician sees of them.
#include "app/values_window.h"

#include <gtest/gtest.h>

#include <QCategoryAxis>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QValueAxis>
#include <cmath>
#include <set>

#include "app/values_plot.h"
#include "app/window_place.h"
#include "support/fake_dialogs.h"
#include "support/temp_folder.h"
#include "values/value_history.h"

using namespace qrt;

// A saved place is taken only where it fits the screens: an absurd or lost one gives the
// window its default place instead of blocking it or hiding it off-screen.
TEST(WindowPlace, ASavedPlaceIsTakenOnlyWhereItFitsTheScreens) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize minimum(200, 150);
    struct Case {
        QRect saved;
        std::optional<QRect> restored;
    };
    for (const Case& c : {
             Case{QRect(100, 50, 900, 640), QRect(100, 50, 900, 640)},
             Case{QRect(2000, 100, 900, 640), QRect(2000, 100, 900, 640)},  // second screen
             Case{QRect(100, 50, 1'000'000'000, 640), QRect(0, 50, 1920, 640)},
             Case{QRect(100, 50, 900, 1'000'000'000), QRect(100, 0, 900, 1080)},
             Case{QRect(1500, 900, 900, 640), QRect(1020, 440, 900, 640)},  // moved on
             Case{QRect(-100000, 50, 900, 640), std::nullopt},
             Case{QRect(100, -500, 900, 640), std::nullopt},  // title bar above the screen
             Case{QRect(100, 50, 0, 0), std::nullopt},        // nothing saved
             Case{QRect(100, 50, 150, 640), std::nullopt},    // narrower than the window can be
             Case{QRect(-2'000'000'000, -2'000'000'000, 2'000'000'000, 2'000'000'000),
                  std::nullopt},
         }) {
        EXPECT_EQ(app::placeToRestore(c.saved, screens, minimum), c.restored) << c.saved.x();
    }
}

// The window comes back where the operator left it, and is placed before it is shown: a
// window manager puts a shown window's client area where the frame should go, and the
// window crept up by a title bar at every start.
TEST(WindowPlace, TheValuesWindowComesBackWhereItWasLeftBeforeItIsShown) {
    const qrt::testing::TempFolder folder("qrt_place");
    values::ValueHistory history;
    qrt::testing::FakeDialogs dialogs;
    const auto window = [&] {
        return std::make_unique<app::ValuesWindow>(
            app::ValuesWindowServices{.history = history, .dialogs = dialogs, .settingsPath = [&] {
                                          return folder.file("qrt-tester.ini");
                                      }});
    };
    const QRect left(40, 30, 600, 420);  // within the off-screen 800 x 600
    auto first = window();
    first->show();
    first->move(left.topLeft());
    first->resize(left.size());
    first->close();
    auto second = window();
    QRect placeWhenShown;
    struct ShowWatch final : QObject {
        QRect* place;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                const auto* shown = static_cast<QWidget*>(watched);
                *place = QRect(shown->pos(), shown->size());
            }
            return false;
        }
    } watch;
    watch.place = &placeWhenShown;
    second->installEventFilter(&watch);
    second->show();
    EXPECT_EQ(placeWhenShown, left);
    EXPECT_EQ(QRect(second->pos(), second->size()), left);
}

namespace {

constexpr std::int64_t kHour = 3'600'000;
constexpr std::int64_t kStart = 1'764'547'200'000LL;  // 1 December 2025 00:00 UTC

void addHourly(values::ValueHistory& history, const receive::ValueSource& source,
               const char* channel, int hours, std::int32_t raw, double scale, receive::Unit unit) {
    for (int hour = 0; hour <= hours; ++hour) {
        history.add({.time = {kStart + hour * kHour, 3600},
                     .source = source,
                     .channel = channel,
                     .raw = raw + hour % 300 * (unit == receive::Unit::Count ? 70 : 1),
                     .scale = scale,
                     .unit = unit});
    }
}

bool isRoundStep(double step) {
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / power;
    return std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
           std::abs(mantissa - 5) < 1e-9;
}

}  // namespace

// Each unit has a value axis of its own with round ticks and a little room, so a line on
// its lowest or highest value stays inside the frame; the time axis is ticked at round
// times labelled as precisely as the span needs, and a live plot ends a little past its
// newest value.
TEST(ValuesPlot, EachUnitHasItsOwnAxisAndEveryTickIsRound) {
    values::ValueHistory history;
    const receive::ValueSource module{.module = {6, 16}};
    addHourly(history, module, "Temp1", 19 * 24, 2000, 0.01, receive::Unit::Celsius);
    addHourly(history, module, "Count1", 19 * 24, 0, 1, receive::Unit::Count);
    addHourly(history, module, "Temp2", 19 * 24, -300, 0.01, receive::Unit::Celsius);
    app::ValuesPlot plot(history);
    plot.resize(800, 500);
    plot.show();
    plot.setRows({0, 1, 2});
    const QList<QAbstractAxis*> vertical = plot.chart()->axes(Qt::Vertical);
    ASSERT_EQ(vertical.size(), 2);
    const auto* celsius = qobject_cast<QValueAxis*>(vertical[0]);
    const auto* counts = qobject_cast<QValueAxis*>(vertical[1]);
    EXPECT_EQ(celsius->titleText(), "\u00B0C");
    EXPECT_EQ(celsius->alignment(), Qt::AlignLeft);
    EXPECT_EQ(counts->titleText(), "counts");
    EXPECT_EQ(counts->alignment(), Qt::AlignRight);
    for (const QValueAxis* axis : {celsius, counts}) {
        EXPECT_EQ(axis->tickType(), QValueAxis::TicksDynamic);
        EXPECT_TRUE(isRoundStep(axis->tickInterval())) << axis->tickInterval();
    }
    // -3.00 to 22.99 degrees and 0 to 20,930 counts, each with room on both sides.
    EXPECT_LT(celsius->min(), -3.0);
    EXPECT_GT(celsius->max(), 22.99);
    EXPECT_LT(celsius->max(), 25.0);
    EXPECT_LT(counts->min(), 0.0);
    EXPECT_GT(counts->max(), 20'930.0);

    auto* time = qobject_cast<QCategoryAxis*>(plot.chart()->axes(Qt::Horizontal).front());
    ASSERT_NE(time, nullptr);
    const double newest = static_cast<double>(kStart + 19 * 24 * kHour);
    EXPECT_GT(time->max(), newest);
    EXPECT_LE(time->max() - newest, (newest - static_cast<double>(kStart)) / 20);
    ASSERT_GE(time->count(), 2);
    for (const QString& label : time->categoriesLabels()) {  // days: at midnight
        const QDateTime at =
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(time->endValue(label)));
        EXPECT_EQ(at.time(), QTime(0, 0)) << label.toStdString();
        EXPECT_EQ(label, at.toString("dd.MM."));
    }
    // Zoomed to an hour: the time of day, on whole minutes.
    time->setRange(static_cast<double>(kStart + 10 * kHour + 17'000),
                   static_cast<double>(kStart + 11 * kHour + 17'000));
    ASSERT_GE(time->count(), 2);
    for (const QString& label : time->categoriesLabels()) {
        const QDateTime at =
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(time->endValue(label)));
        EXPECT_EQ(at.time().second(), 0);
        EXPECT_EQ(label, at.toString("HH:mm"));
    }
}

// Thirteen series are thirteen lines told apart, named in full with their units, and an
// archive's plot ends at its last row; a dark style gives a dark chart.
TEST(ValuesPlot, EverySeriesIsToldApartNamedInFullAndInTheApplicationsColours) {
    values::ValueHistory history;
    const receive::ValueSource archive{.kind = receive::ValueSource::Kind::Archive,
                                       .module = {5, 1234}};
    std::vector<std::size_t> rows;
    for (int channel = 0; channel < 13; ++channel) {
        const std::string name = "Temp" + std::to_string(channel);
        addHourly(history, archive, name.c_str(), 24, 2000 + channel, 0.01, receive::Unit::Celsius);
        rows.push_back(static_cast<std::size_t>(channel));
    }
    app::ValuesPlot plot(history);
    plot.resize(800, 500);
    plot.setRows(rows);
    const std::vector<app::LegendEntry> entries = plot.legendEntries();
    ASSERT_EQ(entries.size(), 13u);
    EXPECT_EQ(entries[12].name.toStdString(), "5.1234 archive Temp12 (\u00B0C)");
    std::set<std::pair<QRgb, int>> pens;
    for (const app::LegendEntry& entry : entries) {
        pens.insert({entry.pen.color().rgb(), static_cast<int>(entry.pen.style())});
    }
    EXPECT_EQ(pens.size(), 13u);
    const auto* time = qobject_cast<QCategoryAxis*>(plot.chart()->axes(Qt::Horizontal).front());
    EXPECT_EQ(time->max(), static_cast<double>(kStart + 24 * kHour));

    app::PlotLegend legend;
    legend.showEntries(entries);
    EXPECT_EQ(legend.findChild<QLabel*>("PlotSeriesCount")->text(), "13 series");
    const auto* list = legend.findChild<QListWidget*>("PlotLegendList");
    ASSERT_EQ(list->count(), 13);
    EXPECT_EQ(list->item(0)->toolTip(), list->item(0)->text());

    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    plot.setPalette(dark);
    EXPECT_EQ(plot.chart()->backgroundBrush().color(), QColor(30, 30, 30));
    EXPECT_EQ(plot.chart()->axes(Qt::Vertical).front()->labelsColor(), QColor(230, 230, 230));
    EXPECT_EQ(plot.legendEntries()[11].pen.color(), QColor(230, 230, 230));
}
