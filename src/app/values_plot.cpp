#include "app/values_plot.h"

#include <QCategoryAxis>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/plot_style.h"
#include "values/axis_ticks.h"

namespace qrt::app {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kDay = 86'400'000;
constexpr qint64 kYearish = 300 * kDay;
// Points drawn over all lines: every line at its full resolution (a lowest and a highest
// point per two pixels) up to some dozens of lines; beyond, each line gets its share,
// so a hundred lines cost no more than forty.
constexpr double kPointBudget = 40'000;
// Room on a value axis beyond its lowest and highest value, so a line on either lies
// inside the frame.
constexpr double kValueMargin = 0.05;
// Room ahead of the newest value of a live plot, as a share of the span shown.
constexpr qint64 kLiveRoomShare = 20;

// The chart with its axes and an empty series that always holds them: an axis shown
// while no series is attached never draws its labels again (Qt 6.4).
QChart* chartWithAxes() {
    auto* chart = new QChart;
    chart->legend()->hide();  // the window shows a legend of its own, names in full
    auto* time = new QCategoryAxis;
    time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    time->setTitleText("Time");
    auto* value = new QValueAxis;
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    auto* anchor = new QLineSeries;
    chart->addSeries(anchor);
    anchor->attachAxis(time);
    anchor->attachAxis(value);
    return chart;
}

QString unitName(receive::Unit unit) {
    const std::string_view text = receive::unitText(unit);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A wall-clock time (local time counted as UTC) as the moment it names.
qint64 momentOf(qint64 wallClock) {
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch(wallClock, Qt::UTC);
    return QDateTime(wall.date(), wall.time(), Qt::LocalTime).toMSecsSinceEpoch();
}

qint64 wallClockOf(qint64 moment) {
    return moment + qint64{QDateTime::fromMSecsSinceEpoch(moment).offsetFromUtc()} * kSecond;
}

}  // namespace

QString timeAxisFormat(qint64 stepMilliseconds, qint64 spanMilliseconds) {
    if (stepMilliseconds < kSecond) {
        return "HH:mm:ss.zzz";
    }
    if (stepMilliseconds < kMinute) {
        return "HH:mm:ss";
    }
    if (stepMilliseconds < kDay) {
        return spanMilliseconds <= kDay ? "HH:mm" : "dd.MM. HH:mm";
    }
    return spanMilliseconds <= kYearish ? "dd.MM." : "dd.MM.yyyy";
}

ValuesPlot::ValuesPlot(const values::ValueHistory& history, QWidget* parent)
    : QChartView(chartWithAxes(), parent),
      history_(history),
      timeAxis_(qobject_cast<QCategoryAxis*>(chart()->axes(Qt::Horizontal).front())),
      valueAxes_{qobject_cast<QValueAxis*>(chart()->axes(Qt::Vertical).front())} {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setFocusPolicy(Qt::StrongFocus);
    applyPalette();
    connect(timeAxis_, &QValueAxis::rangeChanged, this, [this] {
        showTimeTicks();
        if (!updating_) {
            userMovedView();
        }
    });
    connect(valueAxes_.front(), &QValueAxis::rangeChanged, this,
            [this] { showValueTicks(*valueAxes_.front()); });
    // A new size of the plot area fits another number of ticks.
    connect(chart(), &QChart::plotAreaChanged, this, [this] {
        showTimeTicks();
        for (QValueAxis* axis : valueAxes_) {
            showValueTicks(*axis);
        }
    });
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    setTimeRange(now - kMinute, now);
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
        styleAxis(*axis, palette());
        axis->setGridLineVisible(false);  // the first unit's grid is the plot's
        connect(axis, &QValueAxis::rangeChanged, this, [this, axis] { showValueTicks(*axis); });
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
        line->setPen(linePen(lines_.size(), palette()));
        const std::size_t axis = axisFor(series.unit);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxes_[axis]);
        lines_.push_back({row, line, axis, {}});
    }
    updating_ = false;
    refresh();
    emit linesChanged();
}

std::vector<LegendEntry> ValuesPlot::legendEntries() const {
    std::vector<LegendEntry> entries;
    entries.reserve(lines_.size());
    for (const Line& line : lines_) {
        entries.push_back({line.series->name(), line.series->pen()});
    }
    return entries;
}

void ValuesPlot::applyPalette() {
    styleChart(*chart(), palette());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        lines_[i].series->setPen(linePen(i, palette()));
    }
    emit linesChanged();
}

void ValuesPlot::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        applyPalette();
    }
}

void ValuesPlot::resetZoom() {
    following_ = true;
    refresh();
}

void ValuesPlot::userMovedView() {
    following_ = false;
    refresh();
}

qint64 ValuesPlot::shownFrom() const {
    return static_cast<qint64>(timeAxis_->min());
}

qint64 ValuesPlot::shownTo() const {
    return static_cast<qint64>(timeAxis_->max());
}

void ValuesPlot::setTimeRange(qint64 from, qint64 to) {
    updating_ = true;
    timeAxis_->setRange(static_cast<double>(from), static_cast<double>(to));
    updating_ = false;
}

void ValuesPlot::showTimeTicks() {
    // Round times of the local clock, each labelled as precisely as its step needs.
    const qint64 from = shownFrom();
    const qint64 to = shownTo();
    const QString format = timeAxisFormat(kMinute, 2 * kDay);  // the widest label
    const int labelWidth = QFontMetrics(timeAxis_->labelsFont()).horizontalAdvance(format) + 24;
    const int maxTicks =
        std::clamp(static_cast<int>(chart()->plotArea().width()) / labelWidth, 2, 12);
    const values::TimeTicks ticks = values::timeTicks(wallClockOf(from), wallClockOf(to), maxTicks);
    const QString shown = timeAxisFormat(ticks.step, to - from);
    QStringList labels;
    QList<double> places;
    for (const qint64 wallClock : ticks.at) {
        const qint64 at = momentOf(wallClock);
        QString label = QDateTime::fromMSecsSinceEpoch(at).toString(shown);
        while (labels.contains(label)) {
            label += QChar(0x200B);  // an hour the clocks went back through: labels must differ
        }
        if (at > from && at <= to) {
            labels.append(label);
            places.append(static_cast<double>(at));
        }
    }
    if (labels == timeAxis_->categoriesLabels() &&
        timeAxis_->startValue() == static_cast<double>(from)) {
        return;  // as it is: the axis is not laid out again
    }
    for (const QString& label : timeAxis_->categoriesLabels()) {
        timeAxis_->remove(label);
    }
    timeAxis_->setStartValue(static_cast<double>(from));
    for (qsizetype i = 0; i < labels.size(); ++i) {
        timeAxis_->append(labels[i], places[i]);
    }
}

void ValuesPlot::showValueTicks(QValueAxis& axis) {
    const int lineHeight = QFontMetrics(axis.labelsFont()).height();
    const int maxTicks =
        std::clamp(static_cast<int>(chart()->plotArea().height()) / (lineHeight * 3), 2, 10);
    const values::ValueStep step = values::valueStep(axis.min(), axis.max(), maxTicks);
    const QString format = QString("%.%1f").arg(step.decimals);
    if (axis.tickType() == QValueAxis::TicksDynamic && axis.tickInterval() == step.step &&
        axis.labelFormat() == format) {
        return;  // as it is: the axis is not laid out again
    }
    axis.setTickType(QValueAxis::TicksDynamic);
    axis.setTickAnchor(0);
    axis.setTickInterval(step.step);
    axis.setLabelFormat(format);
}

void ValuesPlot::followNewest() {
    qint64 from = 0;
    qint64 to = 0;
    bool any = false;
    bool live = false;
    for (const std::size_t row : rows_) {
        if (row >= history_.size() || history_.at(row).points.size() == 0) {
            continue;
        }
        const auto [earliest, latest] = history_.at(row).points.timeSpan();
        from = any ? std::min<qint64>(from, earliest) : earliest;
        to = any ? std::max<qint64>(to, latest) : latest;
        any = true;
        live = live || history_.at(row).source.kind != receive::ValueSource::Kind::Archive;
    }
    if (!any) {
        to = QDateTime::currentMSecsSinceEpoch();  // nothing yet: the last minute
        from = to - kMinute;
    } else if (to <= from) {
        to = from + kSecond;  // one point: a second after it
    }
    // A live plot keeps a little room ahead and moves when the newest value reaches its
    // end, or when the oldest left a tenth of the span empty: not at every poll, so the
    // lines are reduced anew only then and otherwise take just the new points. An
    // archive ends at its last row.
    const qint64 span = to - from;
    const qint64 room = live ? std::max(span / kLiveRoomShare, kSecond) : 0;
    const bool fits = shownFrom() <= from && from - shownFrom() <= span / 10 && to <= shownTo() &&
                      shownTo() - to <= room;
    if (!fits) {
        setTimeRange(from, to + room);
    }
}

void ValuesPlot::refresh() {
    if (following_) {
        followNewest();
    }
    const qint64 from = shownFrom();
    const qint64 to = shownTo();
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
    scaleValueAxes(ranges);
}

void ValuesPlot::scaleValueAxes(const std::vector<std::pair<double, double>>& ranges) {
    for (std::size_t i = 0; i < valueAxes_.size(); ++i) {
        auto [low, high] = ranges[i];
        if (!(low <= high)) {
            low = 0;
            high = 1;
        }
        const double margin =
            high > low ? (high - low) * kValueMargin : std::max(1.0, std::abs(high) * kValueMargin);
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
    const double from = timeAxis_->min();
    const double to = timeAxis_->max();
    const double pivot = from + (to - from) * at;
    const double newFrom = pivot - (pivot - from) * factor;
    const double newTo = pivot + (to - pivot) * factor;
    if (newTo - newFrom >= 100) {
        timeAxis_->setRange(newFrom, newTo);
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
