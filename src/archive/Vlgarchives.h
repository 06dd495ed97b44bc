#pragma once

#include <QWidget>
#include <memory>

#include "archive/archive_retrieval.h"

class QDateEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimeEdit;
class TMainForm;

/// The archive window: reads a logging module's archive, inductively or by radio, and
/// writes it as a CSV file.
class TVLGLog : public QWidget {
    Q_OBJECT

public:
    explicit TVLGLog(TMainForm& mainForm, QWidget* parent = nullptr);
    ~TVLGLog() override;

    void FormShow();
    void BtInfoClick();
    void Bt_CSVClick();
    void BtCloseClick();

    qrt::archive::ArchiveRetrieval& retrieval() { return *retrieval_; }

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
    QPushButton* BtClose = nullptr;
    QProgressBar* Archive_Progress = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class View;

    [[nodiscard]] qrt::archive::DateTimeValue selectedStart() const;

    TMainForm& main_;
    std::unique_ptr<View> view_;
    std::unique_ptr<qrt::archive::ArchiveRetrieval> retrieval_;
};
