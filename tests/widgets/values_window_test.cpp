// The values window and the places of the windows: what a technician sees of them.
#include "app/values_window.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDateTimeAxis>
#include <QValueAxis>

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

// The time axis shows what tells the points apart at the visible span, and each unit has
// its own value axis, so a temperature beside a counter is no flat line.
TEST(ValuesPlot, TimeFormatFollowsTheSpanAndEachUnitHasItsOwnAxis) {
    struct Span {
        qint64 milliseconds;
        const char* format;
    };
    for (const Span& c :
         {Span{60'000, "HH:mm:ss"}, Span{86'400'000, "HH:mm:ss"},
          Span{19 * 86'400'000LL, "dd.MM. HH:mm"}, Span{60 * 86'400'000LL, "dd.MM.yyyy"}}) {
        EXPECT_EQ(app::timeAxisFormat(c.milliseconds), c.format) << c.milliseconds;
    }

    values::ValueHistory history;
    const receive::ValueSource module{.module = {6, 16}};
    const std::int64_t start = 1'764'547'200'000LL;
    for (int hour = 0; hour <= 19 * 24; ++hour) {  // 19 days, a value an hour
        const common::Timestamp at{start + hour * 3'600'000LL, 3600};
        history.add({.time = at,
                     .source = module,
                     .channel = "Temp1",
                     .raw = 2000 + hour % 300,
                     .scale = 0.01,
                     .unit = receive::Unit::Celsius});
        history.add({.time = at,
                     .source = module,
                     .channel = "Count1",
                     .raw = hour * 70,
                     .unit = receive::Unit::Count});
        history.add({.time = at,
                     .source = module,
                     .channel = "Temp2",
                     .raw = -300,
                     .scale = 0.01,
                     .unit = receive::Unit::Celsius});
    }
    app::ValuesPlot plot(history);
    plot.resize(800, 500);
    plot.setRows({0, 1, 2});
    auto* time = qobject_cast<QDateTimeAxis*>(plot.chart()->axes(Qt::Horizontal).front());
    EXPECT_EQ(time->format(), "dd.MM. HH:mm");
    const QList<QAbstractAxis*> vertical = plot.chart()->axes(Qt::Vertical);
    ASSERT_EQ(vertical.size(), 2);
    const auto* celsius = qobject_cast<QValueAxis*>(vertical[0]);
    const auto* counts = qobject_cast<QValueAxis*>(vertical[1]);
    EXPECT_EQ(celsius->titleText(), "\u00B0C");
    EXPECT_EQ(celsius->alignment(), Qt::AlignLeft);
    EXPECT_EQ(counts->titleText(), "counts");
    EXPECT_EQ(counts->alignment(), Qt::AlignRight);
    // Each axis is scaled to its own series: -3.00 to 22.99 degrees, 0 to 31,920 counts.
    EXPECT_LE(celsius->min(), -3.0);
    EXPECT_LT(celsius->max(), 30.0);
    EXPECT_LE(counts->min(), 0.0);
    EXPECT_GE(counts->max(), 31'920.0);

    // Zoomed to an hour: the time of day.
    time->setRange(QDateTime::fromMSecsSinceEpoch(start),
                   QDateTime::fromMSecsSinceEpoch(start + 3'600'000));
    EXPECT_EQ(time->format(), "HH:mm:ss");
}
