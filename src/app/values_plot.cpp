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

constexpr qint64 kDay = 86'400'000;
constexpr qint64 kThreeWeeks = 21 * kDay;
// Points drawn over all lines: every line at its full resolution (a lowest and a highest
// point per two pixels) up to some dozens of lines; beyond, each line gets its share,
// so a hundred lines cost no more than forty.
constexpr double kPointBudget = 40'000;

// The chart with its axes and an empty series that always holds them: a date-time axis
// shown while no series is attached never draws its labels again (Qt 6.4).
QChart* chartWithAxes() {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* time = new QDateTimeAxis;
    time->setFormat(timeAxisFormat(60'000));
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

QString unitName(receive::Unit unit) {
    const std::string_view text = receive::unitText(unit);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString timeAxisFormat(qint64 spanMilliseconds) {
    if (spanMilliseconds <= kDay) {
        return "HH:mm:ss";
    }
    return spanMilliseconds <= kThreeWeeks ? "dd.MM. HH:mm" : "dd.MM.yyyy";
}

ValuesPlot::ValuesPlot(const values::ValueHistory& history, QWidget* parent)
    : QChartView(chartWithAxes(), parent),
      history_(history),
      timeAxis_(qobject_cast<QDateTimeAxis*>(chart()->axes(Qt::Horizontal).front())),
      valueAxes_{qobject_cast<QValueAxis*>(chart()->axes(Qt::Vertical).front())} {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setFocusPolicy(Qt::StrongFocus);
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, [this] {
        if (!updating_) {
            userMovedView();
        }
    });
}

void ValuesPlot::dropUnitAxes() {
    for (std::size_t i = 1; i < valueAxes_.size(); ++i) {
        chart()->removeAxis(valueAxes_[i]);
        delete valueAxes_[i];
    }
    valueAxes_.resize(1);
    axisUnits_.clear();
    valueAxes_.front()->setTitleText({});
}

std::size_t ValuesPlot::axisFor(receive::Unit unit) {
    for (std::size_t i = 0; i < axisUnits_.size(); ++i) {
        if (axisUnits_[i] == unit) {
            return i;
        }
    }
    if (!axisUnits_.empty()) {
        auto* axis = new QValueAxis;
        chart()->addAxis(axis, axisUnits_.size() % 2 == 1 ? Qt::AlignRight : Qt::AlignLeft);
        valueAxes_.push_back(axis);
    }
    axisUnits_.push_back(unit);
    valueAxes_.back()->setTitleText(unitName(unit));
    return axisUnits_.size() - 1;
}

void ValuesPlot::setRows(std::vector<std::size_t> rows) {
    updating_ = true;  // attaching a series moves the axes too
    for (Line& line : lines_) {
        chart()->removeSeries(line.series);
        delete line.series;
    }
    lines_.clear();
    dropUnitAxes();
    rows_ = std::move(rows);
    for (const std::size_t row : rows_) {
        const values::Series& series = history_.at(row);
        auto* line = new QLineSeries;
        line->setName(QString::fromStdString(series.source.text() + " " + series.channel + " (") +
                      unitName(series.unit) + ")");
        chart()->addSeries(line);
        // A hairline is drawn by the fast line drawer; a wider pen is stroked as a path,
        // which costs most of a redraw.
        QPen pen = line->pen();
        pen.setWidth(1);
        line->setPen(pen);
        const std::size_t axis = axisFor(series.unit);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxes_[axis]);
        lines_.push_back({row, line, axis, {}});
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

void ValuesPlot::showTimeFormat() {
    const QString format = timeAxisFormat(timeAxis_->min().msecsTo(timeAxis_->max()));
    if (timeAxis_->format() != format) {
        updating_ = true;
        timeAxis_->setFormat(format);
        updating_ = false;
    }
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
    showTimeFormat();
    from = timeAxis_->min().toMSecsSinceEpoch();
    to = timeAxis_->max().toMSecsSinceEpoch();
    const double width = chart()->plotArea().width();
    const double share =
        kPointBudget / 2 / static_cast<double>(std::max<std::size_t>(lines_.size(), 1));
    const auto columns = static_cast<std::size_t>(std::max(100.0, std::min(width / 2, share)));
    std::vector<std::pair<double, double>> ranges(
        valueAxes_.size(),
        {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()});
    for (Line& line : lines_) {
        QList<QPointF> points;
        if (line.row < history_.size()) {
            line.reduction.update(history_.at(line.row).points, from, to, columns);
            line.reduction.points(scratch_);
            points.reserve(static_cast<qsizetype>(scratch_.size()));
            auto& [low, high] = ranges[line.axis];
            for (const values::PlotPoint& p : scratch_) {
                if (!std::isfinite(p.value)) {
                    continue;  // a value no axis can show is left out, not drawn
                }
                points.append(QPointF(static_cast<double>(p.time), p.value));
                low = std::min(low, p.value);
                high = std::max(high, p.value);
            }
        }
        line.series->replace(points);
    }
    for (std::size_t i = 0; i < valueAxes_.size(); ++i) {
        auto [low, high] = ranges[i];
        if (!(low <= high)) {
            low = 0;
            high = 1;
        }
        const double margin =
            high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
        QValueAxis* axis = valueAxes_[i];
        if (axis->min() != low - margin || axis->max() != high + margin) {
            updating_ = true;
            axis->setRange(low - margin, high + margin);
            updating_ = false;
        }
    }
}

std::vector<QPointF> ValuesPlot::drawnPoints(std::size_t index) const {
    std::vector<QPointF> points;
    if (index < lines_.size()) {
        for (const QPointF& p : lines_[index].series->points()) {
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
