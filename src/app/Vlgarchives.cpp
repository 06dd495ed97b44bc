#include "app/Vlgarchives.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <sstream>

#include "app/typed_date_time.h"
#include "app/window_place.h"
#include "archive/csv_export.h"
#include "ui/dialogs.h"
#include "ui/save_file.h"

using namespace qrt;

namespace {

constexpr const char* kPlaceSection = "Archive";

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* readOnly(const char* name) {
    auto* edit = named(new QLineEdit, name);
    edit->setReadOnly(true);
    return edit;
}

// The status colours of the archive window.
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

}  // namespace

/// The window's controls as the retrieval sees them.
class TVLGLog::View final : public archive::RetrievalView {
  public:
    explicit View(TVLGLog& window) : window_(window) {}
    void showModule(const std::optional<frames::ModuleAddress>& module) override {
        window_.Ed_ID->setText(module ? QString::fromStdString(module->text()) : QString());
        window_.Ed_ID->repaint();
    }
    void showBusy() override { window_.showStatus("Busy", kYellow); }
    void showProgress(std::uint32_t received, std::uint32_t total) override {
        window_.Archive_Progress->setRange(0, static_cast<int>(std::max<std::uint32_t>(total, 1)));
        window_.Archive_Progress->setValue(static_cast<int>(std::min(received, total)));
        window_.Archive_Progress->repaint();
    }

  private:
    TVLGLog& window_;
};

TVLGLog::TVLGLog(ArchiveWindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      services_(std::move(services)),
      view_(std::make_unique<View>(*this)),
      retrieval_(std::make_unique<archive::ArchiveRetrieval>(
          services_.sender, services_.clock, services_.poller, services_.archive, *view_)) {
    setObjectName("VLGLog");
    setWindowTitle("VLG Archive");
    RB_Ind = named(new QRadioButton("Induktiv"), "RB_Ind");
    RB_Radio = named(new QRadioButton("Funk"), "RB_Radio");
    RB_Ind->setChecked(true);
    Ed_ID = readOnly("Ed_ID");
    DTP_Date = named(new QDateEdit, "DTP_Date");
    DTP_Date->setDisplayFormat("dd.MM.yyyy");
    DTP_Date->setCalendarPopup(true);
    DTP_Time = named(new QTimeEdit, "DTP_Time");
    DTP_Time->setDisplayFormat("HH:mm:ss");
    app::takeTypedDateTime(*DTP_Date);
    app::takeTypedDateTime(*DTP_Time);
    ED_Status = readOnly("ED_Status");
    ED_Date = readOnly("ED_Date");
    ED_Time = readOnly("ED_Time");
    BtInfo = named(new QPushButton("Get Archive"), "BtInfo");
    Bt_CSV = named(new QPushButton("Write CSV"), "Bt_CSV");
    Bt_CSV->setEnabled(false);
    Bt_Plot = named(new QPushButton("Plot"), "Bt_Plot");
    Bt_Plot->setEnabled(false);
    Bt_Plot->setVisible(services_.values != nullptr && services_.plotValues != nullptr);
    BtClose = named(new QPushButton("Close"), "BtClose");
    Archive_Progress = named(new QProgressBar, "Archive_Progress");
    Archive_Progress->setRange(0, 1);
    Archive_Progress->setValue(0);
    // Wide enough for the one-line message of an export without rows.
    Archive_Progress->setMinimumWidth(
        Archive_Progress->fontMetrics().horizontalAdvance(
            "No records after 30.12.2026 23:59 (newest 30.12.2026 23:59)") +
        2 * Archive_Progress->fontMetrics().averageCharWidth());

    auto* path = new QHBoxLayout;
    path->addWidget(RB_Ind);
    path->addWidget(RB_Radio);
    path->addStretch();
    auto* start = new QHBoxLayout;
    start->addWidget(DTP_Date);
    start->addWidget(DTP_Time);
    auto* first = new QHBoxLayout;
    first->addWidget(ED_Date);
    first->addWidget(ED_Time);
    auto* fields = new QFormLayout;
    fields->addRow(path);
    fields->addRow(named(new QLabel("ID"), "Label_ID"), Ed_ID);
    fields->addRow(named(new QLabel("Select start"), "Label_Start"), start);
    fields->addRow(named(new QLabel("Status"), "Label_Status"), ED_Status);
    fields->addRow(named(new QLabel("First read"), "Label_First"), first);
    fields->addRow(Archive_Progress);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtInfo);
    buttons->addWidget(Bt_CSV);
    buttons->addWidget(Bt_Plot);
    buttons->addStretch();
    buttons->addWidget(BtClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(BtInfo, &QPushButton::clicked, this, [this] { BtInfoClick(); });
    connect(Bt_CSV, &QPushButton::clicked, this, [this] { Bt_CSVClick(); });
    connect(Bt_Plot, &QPushButton::clicked, this, [this] { Bt_PlotClick(); });
    connect(BtClose, &QPushButton::clicked, this, [this] { BtCloseClick(); });
    // A note on the rows after the start is of the start it was made for.
    connect(DTP_Date, &QDateEdit::dateChanged, this, [this] { showProgressText({}); });
    connect(DTP_Time, &QTimeEdit::timeChanged, this, [this] { showProgressText({}); });
}

TVLGLog::~TVLGLog() = default;

void TVLGLog::setVisible(bool visible) {
    // Placed before it is shown, so the window manager puts its frame there.
    if (visible && !placeRestored_ && services_.settingsPath) {
        placeRestored_ = true;
        app::restorePlace(*this, services_.settingsPath(), kPlaceSection);
    }
    QWidget::setVisible(visible);
}

void TVLGLog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TVLGLog::hideEvent(QHideEvent* event) {
    if (placeRestored_) {
        app::savePlace(*this, services_.settingsPath(), kPlaceSection);
    }
    QWidget::hideEvent(event);
}

void TVLGLog::FormShow() {
    Ed_ID->clear();
    const common::DateTime now = services_.clock.localTime();
    DTP_Date->setDate(QDate(now.year, now.month, now.day).addDays(-1));
    DTP_Time->setTime(QTime(now.hour, now.minute, now.second));
    showStatus("Ready", kGreen);
}

void TVLGLog::showStatus(const char* text, const QColor& colour) {
    ED_Status->setText(text);
    QPalette palette = ED_Status->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Text, Qt::black);
    ED_Status->setPalette(palette);
    ED_Status->repaint();
}

archive::DateTimeValue TVLGLog::selectedStart() const {
    const QDate date = DTP_Date->date();
    const QTime time = DTP_Time->time();
    return archive::toValue(
        {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second(), 0});
}

void TVLGLog::BtInfoClick() {
    showProgressText({});  // what the last export said belongs to the last retrieval
    beginRead();
    const bool radio = RB_Radio->isChecked();
    showRetrievalOutcome(
        retrieval_->retrieve({.radio = radio,
                              .module = radio ? services_.typedModule() : std::nullopt,
                              .selectedStart = selectedStart()}));
}

void TVLGLog::beginRead() {
    // Nothing of the last read is offered while a new one runs; a read that changes
    // nothing gives it back.
    beforeRead_ = {Bt_CSV->isEnabled(), ED_Date->text(), ED_Time->text()};
    enableExport(false);
    ED_Date->clear();
    ED_Time->clear();
    // The read holds the window's thread: shown now, not when it ends.
    for (QWidget* control : std::initializer_list<QWidget*>{Bt_CSV, Bt_Plot, ED_Date, ED_Time}) {
        control->repaint();
    }
}

void TVLGLog::keepLastRead(bool exportable) {
    ED_Date->setText(beforeRead_.date);
    ED_Time->setText(beforeRead_.time);
    enableExport(exportable);
}

void TVLGLog::showRetrievalOutcome(const archive::RetrievalOutcome& outcome) {
    using End = archive::RetrievalOutcome::End;
    if (outcome.end != End::NotAsked) {
        read_ = outcome.read;  // with nothing asked, the last read stays on offer
    }
    switch (outcome.end) {
        case End::Exportable:
            showStatus("Ready", kGreen);
            ED_Date->setText(QString::fromStdString(archive::shortDate(read_.recordTime)));
            ED_Time->setText(QString::fromStdString(archive::longTime(read_.recordTime)));
            enableExport(true);
            showReadComplete();
            break;
        case End::NoRecord:
            showStatus("Ready", kGreen);
            keepLastRead(false);
            showReadComplete();
            break;
        case End::MissingBlocks:
            showStatus("Missing blocks", kRed);  // the first record and the buttons stay
            keepLastRead(beforeRead_.exportable);
            break;
        case End::NoResponse:
        case End::PortLost:
        case End::Interrupted:
            showStatus("No Response", kRed);
            keepLastRead(false);
            break;
        case End::DateError:
            showStatus("Invalid record date", kRed);
            keepLastRead(false);
            services_.dialogs.message(this, "QRTTest", QString::fromStdString(outcome.dateError),
                                      {});
            break;
        case End::NotAsked:
            keepLastRead(beforeRead_.exportable);
            break;
    }
}

void TVLGLog::showReadComplete() {
    // The read stopped at the selected start: what it took is all there was to take.
    Archive_Progress->setValue(Archive_Progress->maximum());
    if (read_.firstRecord == -1) {
        return;
    }
    // Rows after the start are counted now, so an empty export is known before a file
    // is written.
    struct Rows final : archive::RowVisitor {
        void header(const receive::ChannelList&) override {}
        void row(archive::DateTimeValue, const receive::ChannelList&,
                 std::span<const std::uint16_t>) override {}
    } rows;
    const archive::ExportResult result =
        archive::walkRows(read_.exportFrom(services_.archive.archiveWords, selectedStart()), rows);
    if (result.completed && result.rows == 0) {
        showExportOutcome(result);
    }
}

void TVLGLog::enableExport(bool enabled) {
    Bt_CSV->setEnabled(enabled);
    Bt_Plot->setEnabled(enabled);
}

void TVLGLog::Bt_CSVClick() {
    if (read_.firstRecord == -1) {
        return;
    }
    const std::string proposed =
        archive::proposedCsvName(read_.module, services_.clock.localTime());
    const auto chosen = services_.dialogs.saveFile(this, QString::fromStdString(proposed),
                                                   "CSV-Datei|*.csv", "csv");
    if (!chosen) {
        return;  // cancelled: no file
    }
    std::ostringstream lines;
    const archive::ExportResult result =
        archive::writeCsv(read_.exportFrom(services_.archive.archiveWords, selectedStart()), lines);
    if (result.completed) {
        read_.recordTime = result.recordTime;
        read_.recordConfig = result.recordConfig;
        showExportOutcome(result);
    }
    // A record with an impossible date stops the export; the lines before it are kept.
    if (ui::saveFile(services_.dialogs, this, "QRTTest", *chosen, lines.str()) &&
        !result.completed) {
        services_.dialogs.message(this, "QRTTest", QString::fromStdString(result.error), {});
    }
}

void TVLGLog::Bt_PlotClick() {
    // The rows the CSV would hold, as values; the retrieval's record time is left as is.
    if (read_.firstRecord == -1 || services_.values == nullptr || !services_.plotValues) {
        return;
    }
    const receive::ValueSource module{.kind = receive::ValueSource::Kind::Archive,
                                      .module = read_.module};
    values::ValueHistory& history = *services_.values;
    history.removeSource(module);
    const archive::ExportResult result = archive::archiveValues(
        read_.exportFrom(services_.archive.archiveWords, selectedStart()), module,
        [&history](const receive::Measurement& value) { history.add(value); });
    if (!result.completed) {
        services_.dialogs.message(this, "QRTTest", QString::fromStdString(result.error), {});
    }
    showExportOutcome(result);
    services_.plotValues(module);
}

void TVLGLog::showExportOutcome(const archive::ExportResult& result) {
    // An empty file is written as it should be; the progress bar's text says why, in one
    // line that fits the bar, and in full in its tooltip.
    if (result.rows > 0) {
        showProgressText({});
        return;
    }
    const auto minutes = [](archive::DateTimeValue at) {
        return archive::shortDate(at) + " " + archive::longTime(at).substr(0, 5);
    };
    const archive::DateTimeValue start = selectedStart();
    const std::string line = "No records after " + minutes(start) +
                             (result.newestRow ? " (newest " + minutes(*result.newestRow) + ")"
                                               : " (none in the archive)");
    const std::string full = archive::noRowsText(start, result.newestRow);
    showProgressText(QString::fromStdString(line), QString::fromStdString(full));
}

void TVLGLog::showProgressText(const QString& line, const QString& full) {
    Archive_Progress->setFormat(line.isEmpty() ? QString("%p%") : line);
    Archive_Progress->setToolTip(full);
}

void TVLGLog::BtCloseClick() {
    hide();
}
