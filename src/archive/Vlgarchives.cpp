#include "archive/Vlgarchives.h"

#include <QPushButton>
#include <QVBoxLayout>

TVLGLog::TVLGLog(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("VLGLog");
    setWindowTitle("VLG Archive");
    BtClose = new QPushButton("Close");
    BtClose->setObjectName("BtClose");
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(BtClose);
    connect(BtClose, &QPushButton::clicked, this, [this] { BtCloseClick(); });
}

void TVLGLog::BtCloseClick() { hide(); }
