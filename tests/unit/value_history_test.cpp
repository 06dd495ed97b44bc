#include "values/value_history.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/time_zone.h"
#include "values/value_writer.h"

using namespace qrt;
using namespace qrt::values;

namespace {

receive::Measurement value(int second, std::int32_t raw, double scale = 1.0,
                           std::string_view channel = "Temp1") {
    return {.time = common::Timestamp::fromLocal({2026, 12, 8, 10, 0, second, 0}, 3600),
            .source = {.module = {6, 16}},
            .channel = channel,
            .raw = raw,
            .scale = scale,
            .unit = receive::Unit::Celsius};
}

}  // namespace

TEST(PointRing, KeepsAnyNumberAndAnyClockJumpExactly) {
    PointRing ring;
    const std::vector<std::pair<std::int64_t, std::int32_t>> points{
        {1000, 5},
        {1100, -32768},
        {1200, 65535},
        {900, 7},  // the clock went back
        {1300, std::numeric_limits<std::int32_t>::min()},
        {1400, std::numeric_limits<std::int32_t>::max()},
        {1000 + 3'600'000LL * 24, 1},  // a day later
    };
    for (const auto& [time, raw] : points) {
        ring.add(time, raw, 1.0);
    }
    std::vector<std::pair<std::int64_t, std::int32_t>> back;
    ring.forEach([&](std::int64_t time, double v) {
        back.emplace_back(time, static_cast<std::int32_t>(v));
    });
    EXPECT_EQ(back, points);
    EXPECT_EQ(ring.timeSpan(), std::make_pair(std::int64_t{900}, points.back().first));
}

TEST(PointRing, HoldsTheNewest100000PointsInThreeBytesEachAtPollRate) {
    PointRing ring;
    for (std::int64_t i = 0; i < 250'000; ++i) {
        ring.add(i * 500, static_cast<std::int32_t>(i % 1000), 0.01);
    }
    EXPECT_EQ(ring.size(), PointRing::kCapacity);
    std::int64_t first = -1;
    ring.forEach([&](std::int64_t time, double) { first = first < 0 ? time : first; });
    EXPECT_EQ(first, 150'000 * 500);
    EXPECT_LT(ring.memoryBytes(), PointRing::kCapacity * 3 * 105 / 100);
}

TEST(PointRing, PlotPointsKeepEachColumnsExtremes) {
    PointRing ring;
    for (int i = 0; i < 10'000; ++i) {
        ring.add(i * 100, i == 4321 ? 5000 : (i == 7777 ? -5000 : i % 10), 1.0);
    }
    std::vector<PlotPoint> points;
    ring.plotPoints(0, 999'900, 100, points);
    EXPECT_LE(points.size(), 200U);
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(),
        [](const PlotPoint& a, const PlotPoint& b) { return a.value < b.value; });
    EXPECT_EQ(high->value, 5000);
    EXPECT_EQ(high->time, 432'100);
    EXPECT_EQ(low->value, -5000);
    EXPECT_TRUE(
        std::is_sorted(points.begin(), points.end(),
                       [](const PlotPoint& a, const PlotPoint& b) { return a.time < b.time; }));
}

TEST(PlotReduction, TakingNewPointsGivesWhatAReductionFromScratchGives) {
    PointRing ring;
    PlotReduction kept;
    std::vector<PlotPoint> incremental;
    std::vector<PlotPoint> whole;
    for (int batch = 0; batch < 30; ++batch) {
        for (int i = 0; i < 5000; ++i) {  // the ring overflows from the 20th batch on
            const int n = batch * 5000 + i;
            ring.add(n * 100LL, (n * 37) % 1001 - 500, 0.01);
        }
        kept.update(ring, 0, 15'000'000, 300);
        kept.points(incremental);
        ring.plotPoints(0, 15'000'000, 300, whole);
        if (batch < 20) {
            EXPECT_EQ(incremental.size(), whole.size()) << batch;
            EXPECT_TRUE(std::equal(incremental.begin(), incremental.end(), whole.begin(),
                                   [](const PlotPoint& a, const PlotPoint& b) {
                                       return a.time == b.time && a.value == b.value;
                                   }))
                << batch;
        }
    }
    // Once the oldest points left, the kept columns still show them until the range moves.
    EXPECT_GT(incremental.size(), whole.size());
}

TEST(ValueHistory, OneRowPerModuleAndChannelWithCountMinMaxAndChanges) {
    ValueHistory history;
    history.add(value(0, 2150, 0.01));
    history.add(value(1, -120, 0.01));
    history.add(value(1, 3, 1.0, "Count1"));
    auto changes = history.takeChanges();
    EXPECT_EQ(changes.firstNew, 0U);
    ASSERT_EQ(history.size(), 2U);
    const Series& temp = history.at(0);
    EXPECT_EQ(temp.count, 2U);
    EXPECT_DOUBLE_EQ(temp.min, -1.2);
    EXPECT_DOUBLE_EQ(temp.max, 21.5);
    EXPECT_DOUBLE_EQ(temp.last, -1.2);
    EXPECT_TRUE(temp.scaled);

    history.add(value(2, 1, 1.0, "Count1"));
    changes = history.takeChanges();
    EXPECT_EQ(changes.firstNew, 2U);
    EXPECT_EQ(changes.updated, std::vector<std::size_t>{1});

    history.removeSource({.module = {6, 16}});
    EXPECT_EQ(history.size(), 0U);
    EXPECT_TRUE(history.takeChanges().cleared);
}

TEST(ValueTime, KeepsUtcSoADaylightSavingChangeMovesNoPoint) {
    const qrt::testing::ScopedTimeZone zone("Europe/Berlin");
    // 25 October 2026: the clocks go back from 03:00 summer time to 02:00.
    const common::DateTime summer{2026, 10, 25, 1, 30, 0, 0};
    const common::DateTime winter{2026, 10, 25, 3, 30, 0, 0};
    const common::Timestamp before = common::systemTimestampOfLocal(summer);
    const common::Timestamp after = common::systemTimestampOfLocal(winter);
    EXPECT_EQ(after.utcMilliseconds - before.utcMilliseconds, 3 * 3'600'000);
    EXPECT_EQ(before.utcOffsetSeconds, 7200);
    EXPECT_EQ(after.utcOffsetSeconds, 3600);
    EXPECT_EQ(before.local(), summer);
    EXPECT_EQ(after.local(), winter);
    ValueHistory history;
    for (const common::Timestamp& at : {before, after}) {
        history.add({.time = at, .channel = "Temp1", .raw = 1});
    }
    std::vector<std::int64_t> times;
    history.at(0).points.forEach([&](std::int64_t time, double) { times.push_back(time); });
    EXPECT_EQ(times, (std::vector<std::int64_t>{before.utcMilliseconds, after.utcMilliseconds}));
}

TEST(ValueWriter, CsvAndJsonLinesRows) {
    for (const auto format : {ValueFormat::Csv, ValueFormat::JsonLines}) {
        ValueWriter writer(format);
        std::string written = writer.header();
        writer.append(value(5, -2150, 0.01), written);
        receive::Measurement sample = value(6, 7, 1.0, "Sample");
        sample.channelNumber = 100;
        sample.unit = receive::Unit::Raw;
        writer.append(sample, written);
        if (format == ValueFormat::Csv) {
            EXPECT_EQ(written,
                      "time,module,channel,value,unit\r\n"
                      "2026-12-08T10:00:05.000,6.16,Temp1,-21.50,\u00B0C\r\n"
                      "2026-12-08T10:00:06.000,6.16,Sample 100,7,raw\r\n");
        } else {
            EXPECT_EQ(written,
                      "{\"time\":\"2026-12-08T10:00:05.000\",\"module\":\"6.16\",\"channel\":"
                      "\"Temp1\",\"value\":-21.50,\"unit\":\"\u00B0C\"}\n"
                      "{\"time\":\"2026-12-08T10:00:06.000\",\"module\":\"6.16\",\"channel\":"
                      "\"Sample 100\",\"value\":7,\"unit\":\"raw\"}\n");
        }
    }
}
