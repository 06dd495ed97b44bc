#pragma once

#include <QWidget>

class QPushButton;

/// The archive window: reads a logging module's archive and writes it as CSV.
class TVLGLog : public QWidget {
    Q_OBJECT

public:
    explicit TVLGLog(QWidget* parent = nullptr);

    void BtCloseClick();

    QPushButton* BtClose = nullptr;
};
