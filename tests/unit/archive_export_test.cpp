#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "archive/csv_export.h"
#include "archive/date_time.h"
#include "archive/record_search.h"
#include "common/text_format.h"

using namespace qrt::archive;

namespace {

// The worked header: 12.05.2015 10:30, configuration word 0x0001 (Temp0, one minute).
const std::vector<std::uint16_t> kHeader{0x44ED, 0x0097, 0x1EAD, 0x0001};

std::vector<std::uint16_t> store(std::initializer_list<std::vector<std::uint16_t>> parts,
                                 std::uint32_t at = 0) {
    std::vector<std::uint16_t> words(65536, 0xFFFF);
    std::uint32_t i = at;
    for (const auto& part : parts) {
        for (const std::uint16_t w : part) {
            words[i % kRingWords] = w;
            i = (i + 1) % kRingWords;
        }
    }
    return words;
}

std::string exportOf(const std::vector<std::uint16_t>& words, std::uint32_t writeWord,
                     std::int32_t first = 0, DateTimeValue start = 0) {
    std::ostringstream out;
    writeCsv({words, writeWord, first, start}, out);
    return out.str();
}

}  // namespace

TEST(ArchiveDateTime, DaysSince1899AndTheTextsOfTheWindow) {
    EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(encodeDate(2015, 5, 12), 42136.0);
    EXPECT_FALSE(encodeDate(2015, 2, 29));
    EXPECT_FALSE(encodeDate(2015, 13, 1));
    EXPECT_FALSE(encodeDate(2015, 0, 1));
    EXPECT_FALSE(encodeTime(24, 0, 0));
    const DateTimeValue t = *encodeDate(2015, 5, 12) + *encodeTime(10, 30, 0);
    EXPECT_EQ(shortDate(t), "12.05.2015");
    EXPECT_EQ(longTime(t), "10:30:00");  // the day fraction rounds back to whole seconds
    EXPECT_EQ(longTime(*encodeTime(23, 59, 59) + 0.4 / 86400), "23:59:59");
    EXPECT_EQ(shortDate(*encodeDate(2015, 5, 12) + 0.9999999999), "13.05.2015");
}

TEST(RecordSearch, FindsTheWorkedHeaderAndRestoresBit0) {
    const auto words = store({{0x0866, 0x0870}, kHeader, {0x0866}});
    const RecordSearchResult r = findRecord(words, 0, 100);
    ASSERT_EQ(r.outcome, RecordSearchResult::Outcome::Found);
    EXPECT_EQ(r.index, 2);
    EXPECT_EQ(r.config, 0x0001);  // bit 14 of word 0 keeps its bit 0
    EXPECT_EQ(shortDate(r.time) + " " + longTime(r.time), "12.05.2015 10:30:00");
    EXPECT_EQ(findRecord(words, 3, 100).outcome, RecordSearchResult::Outcome::NotFound);
    EXPECT_EQ(findRecord(words, 5, 5).outcome, RecordSearchResult::Outcome::NotFound);
}

TEST(RecordSearch, HeaderStraddlingTheRingsEndIsFound) {
    const auto words = store({kHeader, {0x0866}}, kRingWords - 2);
    const RecordSearchResult r = findRecord(words, kRingWords - 10, 10);
    ASSERT_EQ(r.outcome, RecordSearchResult::Outcome::Found);
    EXPECT_EQ(r.index, static_cast<std::int32_t>(kRingWords - 2));
    EXPECT_EQ(r.config, 0x0001);
}

TEST(RecordSearch, InvalidDateOrTimeIsReported) {
    const auto badMonth = store({{0x44ED, 0x0097, 0x1FAD, 0x0001, 0x0866}});  // month 13
    EXPECT_EQ(findRecord(badMonth, 0, 10).outcome, RecordSearchResult::Outcome::InvalidDate);
    const auto badTime = store({{0x4B41, 0x0097, 0x1EAD, 0x0001, 0x0866}});  // minute 1440
    const RecordSearchResult r = findRecord(badTime, 0, 10);
    EXPECT_EQ(r.outcome, RecordSearchResult::Outcome::InvalidDate);
    EXPECT_NE(r.error.find("minute 1440"), std::string::npos);
    // A search that can never meet its end stops after one round of the ring.
    EXPECT_EQ(findRecord(store({}), 0, 70000).outcome, RecordSearchResult::Outcome::NotFound);
}

TEST(CsvExport, WorkedExampleByteForByte) {
    const auto words = store({kHeader, {0x0866, 0x0870}});
    EXPECT_EQ(exportOf(words, 6),
              "DateTime;Temp0\r12.05.2015 10:30:00;21,50\r12.05.2015 10:31:00;21,60\r");
}

TEST(CsvExport, IntervalTableAdvancesEachRow) {
    const auto words = store({{0x44ED, 0x0097, 0x1EAD, 0x6001}, {0x0866, 0x0870, 0x0002}});
    EXPECT_EQ(exportOf(words, 7),
              "DateTime;Temp0\r12.05.2015 10:30:00;21,50\r"
              "12.05.2015 10:40:00;21,60\r12.05.2015 10:50:00;0,02\r");
}

TEST(CsvExport, StatusPairsHourMetersAndCounters) {
    // a = 1, b = 1: the status pair; then a header with hour meter 1 and counter 2.
    const auto words = store({{0x04ED, 0x0097, 0x1EAD, 0x0481},
                              {0x0AAA},
                              {0x04ED, 0x0097, 0x1EAD, 0x0981},
                              {0x1C20, 0x0014}});
    EXPECT_EQ(exportOf(words, 11),
              "DateTime;Status1;Status2\r12.05.2015 10:30:00;63;0\r"
              "DateTime;HourMeter1;Counter2\r12.05.2015 10:30:00;1,00;10\r");
    // b = 1 alone is headed ";Status1" too, and a = 3, b = 3 repeat ";HourMeter1".
    const auto status2 = store({{0x04ED, 0x0097, 0x1EAD, 0x0401},
                                {0x1554},
                                {0x04ED, 0x0097, 0x1EAD, 0x0D81},
                                {0x1C20, 0x1C20}});
    EXPECT_EQ(exportOf(status2, 11),
              "DateTime;Status1\r12.05.2015 10:30:00;63\r"
              "DateTime;HourMeter1;HourMeter1\r12.05.2015 10:30:00;1,00;1,00\r");
}

TEST(CsvExport, SameConfigurationWritesNoSecondHeaderAndACutRowIsDropped) {
    // Temp0 and Temp1 (0x0003); the second record cuts the first's second row short.
    const auto words = store({{0x44ED, 0x0097, 0x1EAD, 0x0003},
                              {0x0866, 0x0870, 0x0002},
                              {0x44EF, 0x0097, 0x1EAD, 0x0003},
                              {0x0004, 0x0006}});
    EXPECT_EQ(exportOf(words, 13),
              "DateTime;Temp0;Temp1\r12.05.2015 10:30:00;21,50;21,60\r"
              "12.05.2015 10:31:00;0,04;0,06\r");
}

TEST(CsvExport, ConfigurationWord0GivesOneFieldRowsWithoutHeader) {
    const auto words = store({{0x04ED, 0x0097, 0x1EAD, 0x0001}, {0x0010, 0x0020}});
    EXPECT_EQ(exportOf(words, 6), "12.05.2015 10:30:00;8\r12.05.2015 10:31:00;16\r");
}

TEST(CsvExport, RowsBeforeTheSelectedStartAreSkipped) {
    const auto words = store({kHeader, {0x0866, 0x0870, 0x0002}});
    const DateTimeValue start = *encodeDate(2015, 5, 12) + *encodeTime(10, 31, 0);
    EXPECT_EQ(exportOf(words, 7, 0, start),
              "DateTime;Temp0\r12.05.2015 10:31:00;21,60\r"
              "12.05.2015 10:32:00;0,02\r");
    EXPECT_EQ(exportOf(words, 7, 0, start + 1), "");
}

TEST(CsvExport, NothingWithoutARecordAndAnInvalidDateStopsTheExport) {
    EXPECT_EQ(exportOf(store({kHeader, {0x0866}}), 5, -1), "");
    const auto words = store({kHeader, {0x0866}, {0x44ED, 0x0097, 0x1FAD, 0x0001}, {0x0870}});
    std::ostringstream out;
    const ExportResult result = writeCsv({words, 10, 0, 0}, out);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(out.str(), "DateTime;Temp0\r12.05.2015 10:30:00;21,50\r");
}

TEST(CsvExport, ExportRunsRoundTheRingToTheWritePosition) {
    const auto words = store({kHeader, {0x0866, 0x0870}}, kRingWords - 3);
    EXPECT_EQ(exportOf(words, 3, static_cast<std::int32_t>(kRingWords - 3)),
              "DateTime;Temp0\r12.05.2015 10:30:00;21,50\r12.05.2015 10:31:00;21,60\r");
}

TEST(CsvExport, ProposedNameCarriesTheModuleAndToday) {
    EXPECT_EQ(proposedCsvName({5, 1234}, {2024, 1, 31, 0, 0, 0, 0}), "5.1234-20240131.csv");
}

TEST(CsvExport, ArchiveFullOfHeaderFlaggedWordsGivesNoRows) {
    // A record header, then nothing but 0xFFFF round the ring (a fuzzer's find: every
    // flagged word used to start a search of its own).
    const auto words = store({kHeader, {0x0866}});
    EXPECT_EQ(exportOf(words, kRingWords - 1), "DateTime;Temp0\r12.05.2015 10:30:00;21,50\r");
}

TEST(CsvExport, HeaderReachingTheWritePositionEndsTheExportInsteadOfCirclingTheRing) {
    // A header two words before the write position follows the rows (a fuzzer's find:
    // skipping past it, the rows were written again and again).
    const auto words = store({kHeader, {0x0866, 0x0870}, kHeader});
    EXPECT_EQ(exportOf(words, 8),
              "DateTime;Temp0\r12.05.2015 10:30:00;21,50\r12.05.2015 10:31:00;21,60\r");
}

TEST(CsvExport, FirstRecordReachingTheWritePositionWritesNoRows) {
    // The ring's other words still hold rows of an older round: none may be written.
    auto words = store({kHeader}, 100);
    std::fill(words.begin(), words.begin() + 100, 0x0866);
    for (const std::uint32_t writeWord : {101u, 103u, 104u}) {
        std::ostringstream out;
        EXPECT_TRUE(writeCsv({words, writeWord, 100, 0}, out).completed) << writeWord;
        EXPECT_EQ(out.str(), "") << writeWord;
    }
}

TEST(CsvExport, WritePositionOutsideTheRingExportsNothing) {
    std::ostringstream out;
    const ExportResult result = writeCsv({store({kHeader, {0x0866}}), kRingWords, 0, 0}, out);
    EXPECT_FALSE(result.completed);
    EXPECT_TRUE(out.str().empty());
}

TEST(ArchivePlot, ValuesAreTheNumbersOfTheCsvRows) {
    // Temp0, then Temp0, Status1 and HourMeter2 (configuration 0x0C81), a row cut short.
    const auto words = store({kHeader,
                              {0x0866, 0x0870},
                              {0x44ED, 0x0097, 0x1EAD, 0x0C81},
                              {0x0866, 0x0AAA, 0x1C20, 0xF79A, 0x0002, 0x0004, 0x0010},
                              kHeader,
                              {0x8000}});
    const std::uint32_t writeWord = 23;
    std::string rebuilt;
    std::string lastTime;
    const qrt::receive::ValueSource module{.kind = qrt::receive::ValueSource::Kind::Archive,
                                           .module = {5, 1234}};
    archiveValues({words, writeWord, 0, 0}, module, [&](const qrt::receive::Measurement& m) {
        EXPECT_EQ(m.source, module);
        const DateTimeValue at = toValue(m.time.local());
        const std::string time = shortDate(at) + " " + longTime(at);
        if (time != lastTime) {
            rebuilt += (rebuilt.empty() ? "" : "\r") + time;
            lastTime = time;
        }
        std::string field = m.scale == 1.0
                                ? qrt::common::format<";%u">(static_cast<unsigned>(m.raw))
                                : qrt::common::format<";%4.2f">(m.value());
        std::replace(field.begin(), field.end(), '.', ',');
        rebuilt += field;
    });
    std::string rows;
    std::istringstream csv(exportOf(words, writeWord));
    for (std::string line; std::getline(csv, line, '\r');) {
        if (line.rfind("DateTime", 0) != 0) {
            rows += (rows.empty() ? "" : "\r") + line;
        }
    }
    EXPECT_EQ(rebuilt, rows);
    EXPECT_NE(rows.find(";21,50;63;1,00"), std::string::npos) << rows;
}
