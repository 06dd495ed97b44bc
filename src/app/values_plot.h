#pragma once

#include <QChartView>
#include <vector>

#include "values/value_history.h"

class QDateTimeAxis;
class QValueAxis;
class QLineSeries;

namespace qrt::app {

/// The time axis's label format for a visible span: the time of day within a day, date
/// and time within three weeks, the date alone beyond.
[[nodiscard]] QString timeAxisFormat(qint64 spanMilliseconds);

/// The values window's plot: the selected series over time on a date-time axis, each
/// unit on a value axis of its own (the first on the left, the second on the right,
/// further ones on alternate sides), scaled to its own series. It follows the newest
/// values until the operator zooms (wheel, rubber band) or pans (drag with the right
/// mouse button, arrow keys); "Reset" follows again. Each series is reduced to a
/// lowest and a highest point per pixel column before drawing, so a redraw costs the
/// same at 100,000 points as at 1,000.
class ValuesPlot final : public QChartView {
    Q_OBJECT

  public:
    explicit ValuesPlot(const values::ValueHistory& history, QWidget* parent = nullptr);

    /// Plots these rows of the history (replacing what was plotted).
    void setRows(std::vector<std::size_t> rows);
    [[nodiscard]] const std::vector<std::size_t>& rows() const { return rows_; }
    /// Redraws with the history's newest points.
    void refresh();
    /// Follows the newest values again, with every point in view.
    void resetZoom();
    /// The points drawn for a plotted row (time in milliseconds since 1970, UTC).
    [[nodiscard]] std::vector<QPointF> drawnPoints(std::size_t index) const;

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    /// One line and the value axis of its unit.
    struct Line {
        std::size_t row;
        QLineSeries* series;
        std::size_t axis;  // index into valueAxes_
        values::PlotReduction reduction;
    };

    void userMovedView();
    void setTimeRange(qint64 from, qint64 to);
    void showTimeFormat();
    [[nodiscard]] std::size_t axisFor(receive::Unit unit);
    void dropUnitAxes();

    const values::ValueHistory& history_;
    std::vector<std::size_t> rows_;
    std::vector<Line> lines_;
    QDateTimeAxis* timeAxis_;
    std::vector<QValueAxis*> valueAxes_;  // the first stays, holding the empty chart's axes
    std::vector<receive::Unit> axisUnits_;
    bool following_ = true;
    bool updating_ = false;  // the axis moves because of us, not the operator
    QPointF panFrom_;
    bool panning_ = false;
    std::vector<values::PlotPoint> scratch_;
};

}  // namespace qrt::app
