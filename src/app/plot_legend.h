#pragma once

#include <QPen>
#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QListWidget;

namespace qrt::app {

/// One plotted series as its legend shows it.
struct LegendEntry {
    QString name;  // module, channel and unit: "5.1234 Temp1 (°C)"
    QPen pen;
};

/// The plot's legend, beside the chart: how many series are drawn, then one line per
/// series with its pen and its name in full, in a list that scrolls when there are many
/// (and a name too long for it shows whole on hover).
class PlotLegend final : public QWidget {
    Q_OBJECT

  public:
    explicit PlotLegend(QWidget* parent = nullptr);

    void showEntries(const std::vector<LegendEntry>& entries);

  private:
    QLabel* count_;
    QListWidget* list_;
};

}  // namespace qrt::app
