#pragma once

#include <QPen>
#include <cstddef>

class QAbstractAxis;
class QChart;
class QPalette;

namespace qrt::app {

/// The pen of the plot's `index`-th line: twelve colours told apart at a glance, then the
/// same colours dashed, dotted and dash-dotted; lightened on a dark background. A
/// hairline, which the fast line drawer takes.
[[nodiscard]] QPen linePen(std::size_t index, const QPalette& palette);

/// A chart and its axes in the application's colours: a dark style gives a dark chart.
void styleChart(QChart& chart, const QPalette& palette);
void styleAxis(QAbstractAxis& axis, const QPalette& palette);

}  // namespace qrt::app
