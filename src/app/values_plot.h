#pragma once

#include <QChartView>
#include <vector>

#include "app/plot_legend.h"
#include "values/value_history.h"

class QCategoryAxis;
class QValueAxis;
class QLineSeries;

namespace qrt::app {

/// The time axis's label format for ticks `stepMilliseconds` apart over a visible span:
/// tenths of a second, seconds, the time of day, with the date once the span passes a
/// day, the date alone for whole days, with the year beyond some months.
[[nodiscard]] QString timeAxisFormat(qint64 stepMilliseconds, qint64 spanMilliseconds);

/// The values window's plot: the selected series over time, each unit on a value axis of
/// its own (the first on the left, the second on the right, further ones on alternate
/// sides), scaled to its own series with a small margin; the ticks lie on round values
/// and round times. It follows the newest values (a live series with a little room
/// ahead, an archive up to its last row) until the operator zooms (wheel, rubber band)
/// or pans (drag with the right mouse button, arrow keys); "Reset" follows again. Each
/// series is reduced to a lowest and a highest point per pixel column before drawing,
/// so a redraw costs the same at 100,000 points as at 1,000. The chart takes the
/// application's colours; its legend is a list of its own (`legendEntries`).
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
    /// Each plotted series with its pen, in the order plotted.
    [[nodiscard]] std::vector<LegendEntry> legendEntries() const;

  signals:
    /// The series plotted, or their pens, changed.
    void linesChanged();

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    /// One line and the value axis of its unit.
    struct Line {
        std::size_t row;
        QLineSeries* series;
        std::size_t axis;  // index into valueAxes_
        values::PlotReduction reduction;
    };

    void userMovedView();
    void followNewest();
    void setTimeRange(qint64 from, qint64 to);
    void showTimeTicks();
    void showValueTicks(QValueAxis& axis);
    void scaleValueAxes(const std::vector<std::pair<double, double>>& ranges);
    void applyPalette();
    [[nodiscard]] qint64 shownFrom() const;
    [[nodiscard]] qint64 shownTo() const;
    [[nodiscard]] std::size_t axisFor(receive::Unit unit);
    void dropUnitAxes();

    const values::ValueHistory& history_;
    std::vector<std::size_t> rows_;
    std::vector<Line> lines_;
    QCategoryAxis* timeAxis_;
    std::vector<QValueAxis*> valueAxes_;  // the first stays, holding the empty chart's axes
    std::vector<receive::Unit> axisUnits_;
    bool following_ = true;
    bool updating_ = false;  // the axis moves because of us, not the operator
    QPointF panFrom_;
    bool panning_ = false;
    std::vector<values::PlotPoint> scratch_;
};

}  // namespace qrt::app
