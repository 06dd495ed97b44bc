#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "archive/archive_retrieval.h"
#include "archive/csv_export.h"
#include "values/value_history.h"

class QDateEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace qrt::ui {
class Dialogs;
}

/// What the archive window is given by the program entry (or a test): the core objects
/// it reads through, and the main window's module fields for a read by radio.
struct ArchiveWindowServices {
    qrt::frames::FrameSender& sender;
    qrt::receive::Poller& poller;
    qrt::receive::ArchiveStore& archive;
    qrt::common::Clock& clock;
    qrt::ui::Dialogs& dialogs;
    /// The module typed in the main window, read at each "Get Archive" by radio.
    std::function<std::optional<qrt::frames::ModuleAddress>()> typedModule;
    /// Where "Plot" puts the archive's values, and how it shows them; without them the
    /// button stays hidden.
    qrt::values::ValueHistory* values = nullptr;
    std::function<void(const qrt::receive::ValueSource&)> plotValues{};
    /// The settings file, where the window keeps its place; without it the place is not kept.
    std::function<std::string()> settingsPath{};
};

/// The archive window: reads a logging module's archive, inductively or by radio, and
/// writes it as a CSV file or plots its values.
class TVLGLog : public QWidget {
    Q_OBJECT

  public:
    explicit TVLGLog(ArchiveWindowServices services, QWidget* parent = nullptr);
    ~TVLGLog() override;

    void FormShow();
    void BtInfoClick();
    void Bt_CSVClick();
    void Bt_PlotClick();
    void BtCloseClick();
    /// Takes the saved place before the window is first shown.
    void setVisible(bool visible) override;

    /// What the last retrieval read: the export's source.
    [[nodiscard]] const qrt::archive::ArchiveRead& lastRead() const { return read_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    class View;

    /// What the window showed of the last read when a new one began.
    struct ShownRead {
        bool exportable = false;
        QString date;
        QString time;
    };

    [[nodiscard]] qrt::archive::DateTimeValue selectedStart() const;
    /// A read begins: the export buttons off and the first record's time cleared.
    void beginRead();
    /// A read that brought nothing new: the window shows the last read's first record
    /// again, with the export buttons as `exportable` says.
    void keepLastRead(bool exportable);
    /// A read that came to its end: a full bar, and a word when no row follows the start.
    void showReadComplete();
    void showExportOutcome(const qrt::archive::ExportResult& result);
    void showRetrievalOutcome(const qrt::archive::RetrievalOutcome& outcome);
    void enableExport(bool enabled);
    /// ED_Status: its text on a coloured ground, repainted at once.
    void showStatus(const char* text, const QColor& colour);
    /// The progress bar's text (its percentage when empty) and its tooltip.
    void showProgressText(const QString& line, const QString& full = {});

    ArchiveWindowServices services_;
    std::unique_ptr<View> view_;
    std::unique_ptr<qrt::archive::ArchiveRetrieval> retrieval_;
    qrt::archive::ArchiveRead read_;  // the record time moves on with each export
    ShownRead beforeRead_;
    bool placeRestored_ = false;

    // Controls, named as on the form; tests find them by these object names.
    QRadioButton* RB_Ind = nullptr;
    QRadioButton* RB_Radio = nullptr;
    QLineEdit* Ed_ID = nullptr;
    QDateEdit* DTP_Date = nullptr;
    QTimeEdit* DTP_Time = nullptr;
    QLineEdit* ED_Status = nullptr;
    QLineEdit* ED_Date = nullptr;
    QLineEdit* ED_Time = nullptr;
    QPushButton* BtInfo = nullptr;
    QPushButton* Bt_CSV = nullptr;
    QPushButton* Bt_Plot = nullptr;  // the archive's values in the values window
    QPushButton* BtClose = nullptr;
    QProgressBar* Archive_Progress = nullptr;
};
