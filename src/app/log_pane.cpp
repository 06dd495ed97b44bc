#include "app/log_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

namespace qrt::app {

LogPane::LogPane(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(std::max(7, font.pointSize() - 1));
    setFont(font);
    viewport()->setFont(font);
    const QFontMetrics metrics(font);
    lineHeight_ = std::max(1, metrics.height());
    charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    ascent_ = metrics.ascent();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void LogPane::appendLine(std::string_view utf8) {
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    lines_.append(utf8);
    updateScrollBars();
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
    viewport()->update();
}

void LogPane::clear() {
    lines_.clear();
    anchor_ = cursor_ = {};
    updateScrollBars();
    viewport()->update();
}

QString LogPane::lineText(std::size_t index) const {
    const std::string_view line = lines_.line(index);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

QString LogPane::toPlainText() const {
    QStringList all;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        all << lineText(i);
    }
    return all.join('\n');
}

QString LogPane::selectedText() const {
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    if (from == to || lines_.size() == 0) {
        return {};
    }
    QStringList parts;
    for (std::size_t i = from.line; i <= to.line && i < lines_.size(); ++i) {
        const QString text = lineText(i);
        const qsizetype begin = i == from.line ? std::min(from.column, text.size()) : 0;
        const qsizetype end = i == to.line ? std::min(to.column, text.size()) : text.size();
        parts << text.mid(begin, std::max<qsizetype>(0, end - begin));
    }
    return parts.join('\n');
}

void LogPane::selectAll() {
    anchor_ = {};
    cursor_ = lines_.size() == 0 ? Position{}
                                 : Position{lines_.size() - 1, lineText(lines_.size() - 1).size()};
    viewport()->update();
}

void LogPane::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

int LogPane::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

void LogPane::updateScrollBars() {
    const auto count = static_cast<int>(std::min<std::size_t>(lines_.size(), INT32_MAX));
    verticalScrollBar()->setRange(0, std::max(0, count - visibleLines()));
    verticalScrollBar()->setPageStep(visibleLines());
    const auto width =
        static_cast<int>(std::min<std::size_t>(lines_.longest(), 100000)) * charWidth_;
    horizontalScrollBar()->setRange(0, std::max(0, width + charWidth_ - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void LogPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    updateScrollBars();
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
}

void LogPane::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const std::size_t first = static_cast<std::size_t>(verticalScrollBar()->value());
    const int left = 2 - horizontalScrollBar()->value();
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    const QColor highlight = palette().color(QPalette::Highlight);
    for (int row = 0;
         row <= visibleLines() && first + static_cast<std::size_t>(row) < lines_.size(); ++row) {
        const std::size_t index = first + static_cast<std::size_t>(row);
        const QString text = lineText(index);
        const int top = row * lineHeight_;
        if (from != to && index >= from.line && index <= to.line) {
            const qsizetype begin = index == from.line ? from.column : 0;
            const qsizetype end = index == to.line ? to.column : text.size() + 1;
            painter.fillRect(left + static_cast<int>(begin) * charWidth_, top,
                             static_cast<int>(std::max<qsizetype>(0, end - begin)) * charWidth_,
                             lineHeight_, highlight);
        }
        painter.drawText(left, top + ascent_, text);
    }
}

LogPane::Position LogPane::positionAt(const QPoint& point) const {
    if (lines_.size() == 0) {
        return {};
    }
    const auto row = static_cast<std::size_t>(std::max(0, point.y()) / lineHeight_);
    const std::size_t line =
        std::min(lines_.size() - 1, static_cast<std::size_t>(verticalScrollBar()->value()) + row);
    const int x = point.x() - 2 + horizontalScrollBar()->value();
    const qsizetype column =
        std::clamp<qsizetype>((x + charWidth_ / 2) / charWidth_, 0, lineText(line).size());
    return {line, column};
}

void LogPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    cursor_ = positionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) {
        anchor_ = cursor_;
    }
    selecting_ = true;
    viewport()->update();
}

void LogPane::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint point = event->position().toPoint();
    if (point.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (point.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    cursor_ = positionAt(point);
    viewport()->update();
}

void LogPane::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void LogPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &LogPane::copy);
    copyAction->setEnabled(!selectedText().isEmpty());
    menu.addAction(tr("Select &All"), this, &LogPane::selectAll);
    menu.exec(event->globalPos());
}

}  // namespace qrt::app
