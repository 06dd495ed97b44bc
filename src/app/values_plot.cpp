#include "app/values_plot.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qrt::app {

namespace {

// The chart with its axes and an empty series that always holds them: a date-time axis
// shown while no series is attached never draws its labels again (Qt 6.4).
QChart* chartWithAxes() {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* time = new QDateTimeAxis;
    time->setFormat("HH:mm:ss");
    time->setTitleText("Time");
    auto* value = new QValueAxis;
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    auto* anchor = new QLineSeries;
    chart->addSeries(anchor);
    anchor->attachAxis(time);
    anchor->attachAxis(value);
    chart->legend()->markers(anchor).front()->setVisible(false);
    return chart;
}

}  // namespace

ValuesPlot::ValuesPlot(const values::ValueHistory& history, QWidget* parent)
    : QChartView(chartWithAxes(), parent),
      history_(history),
      timeAxis_(qobject_cast<QDateTimeAxis*>(chart()->axes(Qt::Horizontal).front())),
      valueAxis_(qobject_cast<QValueAxis*>(chart()->axes(Qt::Vertical).front())) {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setFocusPolicy(Qt::StrongFocus);
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, [this] {
        if (!updating_) {
            userMovedView();
        }
    });
}

void ValuesPlot::setRows(std::vector<std::size_t> rows) {
    updating_ = true;  // attaching a series moves the axes too
    for (QLineSeries* line : lines_) {
        chart()->removeSeries(line);
        delete line;
    }
    lines_.clear();
    rows_ = std::move(rows);
    reductions_.assign(rows_.size(), {});
    for (const std::size_t row : rows_) {
        const values::Series& series = history_.at(row);
        auto* line = new QLineSeries;
        line->setName(
            QString::fromStdString(series.module.text() + " " + series.channel + " (") +
            QString::fromUtf8(receive::unitText(series.unit).data(),
                              static_cast<qsizetype>(receive::unitText(series.unit).size())) +
            ")");
        chart()->addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        lines_.push_back(line);
    }
    updating_ = false;
    refresh();
}

void ValuesPlot::resetZoom() {
    following_ = true;
    refresh();
}

void ValuesPlot::userMovedView() {
    following_ = false;
    refresh();
}

void ValuesPlot::setTimeRange(qint64 from, qint64 to) {
    updating_ = true;
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    updating_ = false;
}

void ValuesPlot::refresh() {
    std::int64_t from = 0;
    std::int64_t to = 0;
    if (following_) {
        bool any = false;
        for (const std::size_t row : rows_) {
            if (row >= history_.size() || history_.at(row).points.size() == 0) {
                continue;
            }
            const auto [earliest, latest] = history_.at(row).points.timeSpan();
            from = any ? std::min(from, earliest) : earliest;
            to = any ? std::max(to, latest) : latest;
            any = true;
        }
        if (!any) {
            to = QDateTime::currentMSecsSinceEpoch();  // nothing yet: the last minute
            from = to - 60'000;
        } else if (to <= from) {
            to = from + 1000;  // one point: a second after it
        }
        // A tenth of the span stays free ahead, and a tenth may empty behind as the
        // oldest points leave: the axis moves now and then, not at every poll, so the
        // lines are reduced anew only then and otherwise take just the new points.
        const std::int64_t shownFrom = timeAxis_->min().toMSecsSinceEpoch();
        const std::int64_t shownTo = timeAxis_->max().toMSecsSinceEpoch();
        const std::int64_t span = to - from;
        const bool fits = shownFrom <= from && from - shownFrom <= span / 10 && to <= shownTo &&
                          shownTo - to <= span / 5;
        if (!fits) {
            setTimeRange(from, to + span / 10);
        }
    }
    from = timeAxis_->min().toMSecsSinceEpoch();
    to = timeAxis_->max().toMSecsSinceEpoch();
    // A lowest and a highest point per two pixels draws the same curve as every point.
    const auto columns = static_cast<std::size_t>(std::max(100.0, chart()->plotArea().width() / 2));
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        QList<QPointF> points;
        if (rows_[i] < history_.size()) {
            reductions_[i].update(history_.at(rows_[i]).points, from, to, columns);
            reductions_[i].points(scratch_);
            points.reserve(static_cast<qsizetype>(scratch_.size()));
            for (const values::PlotPoint& p : scratch_) {
                if (!std::isfinite(p.value)) {
                    continue;  // a value no axis can show is left out, not drawn
                }
                points.append(QPointF(static_cast<double>(p.time), p.value));
                low = std::min(low, p.value);
                high = std::max(high, p.value);
            }
        }
        lines_[i]->replace(points);
    }
    if (!(low <= high)) {
        low = 0;
        high = 1;
    }
    const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
    if (valueAxis_->min() != low - margin || valueAxis_->max() != high + margin) {
        updating_ = true;
        valueAxis_->setRange(low - margin, high + margin);
        updating_ = false;
    }
}

std::vector<QPointF> ValuesPlot::drawnPoints(std::size_t index) const {
    std::vector<QPointF> points;
    if (index < lines_.size()) {
        for (const QPointF& p : lines_[index]->points()) {
            points.emplace_back(p.x(), p.y());
        }
    }
    return points;
}

void ValuesPlot::wheelEvent(QWheelEvent* event) {
    const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
    // Zoom the time axis round the pointer.
    const QRectF area = chart()->plotArea();
    const double at = std::clamp((event->position().x() - area.left()) / area.width(), 0.0, 1.0);
    const double from = static_cast<double>(timeAxis_->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(timeAxis_->max().toMSecsSinceEpoch());
    const double pivot = from + (to - from) * at;
    const double newFrom = pivot - (pivot - from) * factor;
    const double newTo = pivot + (to - pivot) * factor;
    if (newTo - newFrom >= 100) {
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(newFrom)),
                            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(newTo)));
    }
    event->accept();
}

void ValuesPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        panning_ = true;
        panFrom_ = event->position();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ValuesPlot::mouseMoveEvent(QMouseEvent* event) {
    if (panning_) {
        const QPointF delta = event->position() - panFrom_;
        panFrom_ = event->position();
        chart()->scroll(-delta.x(), delta.y());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ValuesPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (panning_ && event->button() == Qt::RightButton) {
        panning_ = false;
        event->accept();
        return;
    }
    // The rubber band's right click zooms out; here the right button pans instead.
    QChartView::mouseReleaseEvent(event);
}

void ValuesPlot::keyPressEvent(QKeyEvent* event) {
    const double step = chart()->plotArea().width() / 10;
    switch (event->key()) {
        case Qt::Key_Left:
            chart()->scroll(-step, 0);
            break;
        case Qt::Key_Right:
            chart()->scroll(step, 0);
            break;
        case Qt::Key_Plus:
            chart()->zoomIn();
            break;
        case Qt::Key_Minus:
            chart()->zoomOut();
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
    }
    event->accept();
}

}  // namespace qrt::app
