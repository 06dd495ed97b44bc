#include <QDateEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimeEdit>
#include <set>

#include "app/Vlgarchives.h"
#include "support/main_form_fixture.h"
#include "support/real_window.h"
#include "support/simulated_installation.h"

using namespace qrt;
using namespace qrt::testing;

namespace {

class ArchiveWindow : public MainFormFixture {
  protected:
    void openArchive(std::uint32_t rows) {
        openLink(true);
        sim::ModuleConfig module;
        module.address = {6, 16};
        module.archive.rows = rows;
        module.archive.config = 0x0001;
        module.archive.rowsPerRecord = 1000;
        module.archive.start = std::chrono::sys_days{std::chrono::year(2015) / 5 / 12} +
                               std::chrono::hours(10) + std::chrono::minutes(30);
        installation = std::make_unique<SimulatedInstallation>(*portA, *portB, sim::SimOptions{},
                                                               std::vector{module});
        window = archiveWindow(*core, dialogs, *form);
        archiveUi = std::make_unique<ArchiveWindowControls>(*window);
        window->show();
        archiveUi->DTP_Date->setDate(QDate(2000, 1, 1));
    }
    std::unique_ptr<SimulatedInstallation> installation;
    std::unique_ptr<TVLGLog> window;
    std::unique_ptr<ArchiveWindowControls> archiveUi;
};

}  // namespace

TEST_F(ArchiveWindow, ShowsYesterdayNowAndReadyOnGreen) {
    createForm();
    clock.local = {2026, 3, 1, 14, 5, 30, 0};
    window = archiveWindow(*core, dialogs, *form);
    TVLGLog& log = *window;
    archiveUi = std::make_unique<ArchiveWindowControls>(log);
    EXPECT_EQ(log.windowTitle(), "VLG Archive");
    log.show();
    EXPECT_EQ(archiveUi->DTP_Date->date(), QDate(2026, 2, 28));
    EXPECT_EQ(archiveUi->DTP_Time->time(), QTime(14, 5, 30));
    EXPECT_EQ(archiveUi->ED_Status->text(), "Ready");
    EXPECT_EQ(archiveUi->ED_Status->palette().color(QPalette::Base), QColor(0, 255, 0));
    EXPECT_TRUE(archiveUi->RB_Ind->isChecked());
    EXPECT_FALSE(archiveUi->Bt_CSV->isEnabled());
    click(archiveUi->BtClose);
    EXPECT_FALSE(log.isVisible());
}

TEST_F(ArchiveWindow, RetrievesAndWritesTheCsvUnderTheChosenName) {
    openArchive(3);
    click(archiveUi->BtInfo);
    EXPECT_EQ(archiveUi->ED_Status->text(), "Ready");
    EXPECT_EQ(archiveUi->Ed_ID->text(), "6.16");
    EXPECT_EQ(archiveUi->ED_Date->text(), "12.05.2015");
    EXPECT_EQ(archiveUi->ED_Time->text(), "10:30:00");
    ASSERT_TRUE(archiveUi->Bt_CSV->isEnabled());

    clock.local = {2024, 1, 31, 9, 0, 0, 0};
    click(archiveUi->Bt_CSV);  // cancelled: nothing written
    EXPECT_EQ(dialogs.saveRequests, QStringList{"6.16-20240131.csv CSV-Datei|*.csv csv"});
    const auto csv = folder_ / "archive.csv";
    dialogs.saveAnswer = QString::fromStdString(csv.string());
    click(archiveUi->Bt_CSV);
    const std::string text = [&] {
        std::ifstream in(csv, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    EXPECT_EQ(text.substr(0, 35), "DateTime;Temp0\r12.05.2015 10:30:00;");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 4);
    EXPECT_EQ(text.find('\n'), std::string::npos);

    // A radio read with no module named asks nothing: the last read stays on offer.
    ui->Ed_SNR->clear();
    archiveUi->RB_Radio->setChecked(true);
    click(archiveUi->BtInfo);
    std::filesystem::remove(csv);
    click(archiveUi->Bt_CSV);
    EXPECT_EQ(std::filesystem::file_size(csv), text.size());

    dialogs.saveAnswer = QString::fromStdString((folder_ / "no-such-folder" / "a.csv").string());
    click(archiveUi->Bt_CSV);
    EXPECT_TRUE(dialogs.warnings.last().startsWith("QRTTest: Can't write"));
}

TEST_F(ArchiveWindow, ReadEndsAtFullBarAndSaysAtOnceWhenNoRowFollowsTheStart) {
    openArchive(3000);  // about 94 blocks, the newest 64 read: the last record is in them
    archiveUi->DTP_Date->setDate(QDate(2016, 1, 1));
    click(archiveUi->BtInfo);
    EXPECT_EQ(archiveUi->ED_Status->text(), "Ready");
    EXPECT_EQ(archiveUi->Archive_Progress->value(), archiveUi->Archive_Progress->maximum());
    EXPECT_EQ(archiveUi->Archive_Progress->format().toStdString(),
              "No records after 01.01.2016 10:30 (newest 14.05.2015 12:29)");
    EXPECT_EQ(archiveUi->Archive_Progress->toolTip().toStdString(),
              "No records from the selected start 01.01.2016 10:30:00; the newest record is "
              "14.05.2015 12:29:00");
    const auto csv = folder_ / "empty.csv";
    dialogs.saveAnswer = QString::fromStdString(csv.string());
    click(archiveUi->Bt_CSV);  // written all the same, as an empty file
    EXPECT_EQ(std::filesystem::file_size(csv), 0u);
    EXPECT_EQ(archiveUi->Archive_Progress->format().toStdString(),
              "No records after 01.01.2016 10:30 (newest 14.05.2015 12:29)");
    archiveUi->DTP_Date->setDate(QDate(2015, 1, 1));  // another start: the note goes
    EXPECT_EQ(archiveUi->Archive_Progress->format(), "%p%");
    EXPECT_TRUE(archiveUi->Archive_Progress->toolTip().isEmpty());
}

// While a read runs nothing of the last one is offered: its first record is cleared and
// the export buttons are off until the read ends.
TEST_F(ArchiveWindow, DuringAReadTheExportIsOffAndTheFirstRecordCleared) {
    openArchive(3);
    click(archiveUi->BtInfo);
    ASSERT_TRUE(archiveUi->Bt_CSV->isEnabled());
    ASSERT_EQ(archiveUi->ED_Date->text(), "12.05.2015");
    std::set<std::string> duringRead;
    QObject::connect(archiveUi->Archive_Progress, &QProgressBar::valueChanged, [&] {
        duringRead.insert(std::to_string(archiveUi->Bt_CSV->isEnabled()) +
                          std::to_string(archiveUi->Bt_Plot->isEnabled()) + " '" +
                          archiveUi->ED_Date->text().toStdString() + "' '" +
                          archiveUi->ED_Time->text().toStdString() + "'");
    });
    click(archiveUi->BtInfo);
    EXPECT_EQ(duringRead, std::set<std::string>{"00 '' ''"});
    EXPECT_TRUE(archiveUi->Bt_CSV->isEnabled());
    EXPECT_EQ(archiveUi->ED_Date->text(), "12.05.2015");
    EXPECT_EQ(archiveUi->ED_Time->text(), "10:30:00");
}

// The start is typed in full over the selected text; what is no date or time is dropped.
TEST_F(ArchiveWindow, StartFieldsTakeADateAndTimeTypedInFull) {
    createForm();
    window = archiveWindow(*core, dialogs, *form);
    archiveUi = std::make_unique<ArchiveWindowControls>(*window);
    window->show();
    const auto type = [](QWidget* field, const char* text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    };
    struct Case {
        const char* date;
        const char* time;
        QDate typedDate;
        QTime typedTime;
    };
    for (const Case& c : {Case{"18.11.2026", "00:00:00", {2026, 11, 18}, {0, 0}},
                          Case{"1.2.26", "7:05", {2026, 2, 1}, {7, 5}},
                          Case{"31.02.2026", "25:00", {2026, 2, 1}, {7, 5}}}) {
        type(archiveUi->DTP_Date, c.date);
        type(archiveUi->DTP_Time, c.time);
        EXPECT_EQ(archiveUi->DTP_Date->date(), c.typedDate) << c.date;
        EXPECT_EQ(archiveUi->DTP_Time->time(), c.typedTime) << c.time;
        EXPECT_EQ(archiveUi->DTP_Date->text(), c.typedDate.toString("dd.MM.yyyy"));
    }
}

TEST_F(ArchiveWindow, NoAnswerShowsNoResponseInRed) {
    openArchive(0);
    click(archiveUi->BtInfo);
    EXPECT_EQ(archiveUi->ED_Status->text(), "No Response");
    EXPECT_EQ(archiveUi->ED_Status->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_FALSE(archiveUi->Bt_CSV->isEnabled());
}
