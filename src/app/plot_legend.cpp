#include "app/plot_legend.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace qrt::app {

namespace {

constexpr QSize kSample(28, 12);
constexpr int kWidest = 320;  // beyond, the name is cut and shows whole on hover

// A short stretch of the series' line, in its colour and style.
QIcon lineSample(const QPen& pen) {
    QPixmap sample(kSample);
    sample.fill(Qt::transparent);
    QPainter painter(&sample);
    QPen thick = pen;
    thick.setWidth(2);
    painter.setPen(thick);
    painter.drawLine(1, kSample.height() / 2, kSample.width() - 1, kSample.height() / 2);
    return QIcon(sample);
}

}  // namespace

PlotLegend::PlotLegend(QWidget* parent)
    : QWidget(parent), count_(new QLabel), list_(new QListWidget) {
    setObjectName("PlotLegend");
    count_->setObjectName("PlotSeriesCount");
    list_->setObjectName("PlotLegendList");
    list_->setIconSize(kSample);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setTextElideMode(Qt::ElideMiddle);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(count_);
    layout->addWidget(list_, 1);
    showEntries({});
}

void PlotLegend::showEntries(const std::vector<LegendEntry>& entries) {
    count_->setText(entries.empty() ? tr("No series")
                                    : tr("%n series", "", static_cast<int>(entries.size())));
    list_->clear();
    int widest = count_->sizeHint().width();
    for (const LegendEntry& entry : entries) {
        auto* item = new QListWidgetItem(lineSample(entry.pen), entry.name, list_);
        item->setToolTip(entry.name);
        widest = std::max(widest, list_->fontMetrics().horizontalAdvance(entry.name));
    }
    const int chrome = kSample.width() + 3 * list_->fontMetrics().averageCharWidth() +
                       2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width();
    setFixedWidth(std::min(widest + chrome, kWidest));
}

}  // namespace qrt::app
