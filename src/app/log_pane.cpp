#include "app/log_pane.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

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
    buildFindBar();
}

void LogPane::buildFindBar() {
    // A small bar of the pane's own, over its top right corner: it moves no control.
    findBar_ = new QWidget(this);
    findBar_->setObjectName("FindBar");
    findBar_->setAutoFillBackground(true);
    findText_ = new QLineEdit(findBar_);
    findText_->setObjectName("FindText");
    findText_->setPlaceholderText(tr("Find"));
    findText_->setClearButtonEnabled(true);
    // Room for the longest module ID beside the clear button.
    findText_->setMinimumWidth(findText_->fontMetrics().horizontalAdvance("15.268435455") +
                               3 * findText_->sizeHint().height() / 2);
    findCase_ = new QCheckBox(tr("Aa"), findBar_);
    findCase_->setObjectName("FindCase");
    findCase_->setToolTip(tr("Match case"));
    findStatus_ = new QLabel(findBar_);
    findStatus_->setObjectName("FindStatus");
    auto* close = new QToolButton(findBar_);
    close->setText(QStringLiteral("\u00D7"));
    close->setToolTip(tr("Close (Escape)"));
    auto* row = new QHBoxLayout(findBar_);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(findText_);
    row->addWidget(findCase_);
    row->addWidget(findStatus_);
    row->addWidget(close);
    findBar_->hide();
    findText_->installEventFilter(this);
    connect(findText_, &QLineEdit::textChanged, this, [this] { search(true, true); });
    connect(findCase_, &QCheckBox::toggled, this, [this] { search(true, true); });
    connect(close, &QToolButton::clicked, this, [this] {
        findBar_->hide();
        setFocus();
    });
}

bool LogPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched != findText_ || event->type() != QEvent::KeyPress) {
        return QAbstractScrollArea::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool back = (key->modifiers() & Qt::ShiftModifier) != 0;
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3:
            findNext(!back);
            return true;
        case Qt::Key_Escape:
            findBar_->hide();
            setFocus();
            return true;
        default:
            return false;
    }
}

void LogPane::placeFindBar() {
    // Sized afresh as its count grows, so the count never squeezes the text.
    if (findBar_ == nullptr) {
        return;
    }
    findBar_->adjustSize();
    findBar_->move(std::max(0, viewport()->width() - findBar_->width()), 0);
}

void LogPane::openFind() {
    placeFindBar();
    findBar_->show();
    findBar_->raise();
    findText_->setFocus();
    findText_->selectAll();
}

LineSearch LogPane::currentSearch() const {
    return LineSearch(findText_->text().toStdString(), findCase_->isChecked());
}

void LogPane::findNext(bool forward) {
    search(forward, false);
}

void LogPane::search(bool forward, bool inclusive) {
    const LineSearch searched = currentSearch();
    // Typing searches on from the first line in view; next and previous from the match.
    const LineMatch from =
        match_ && !inclusive ? *match_
                             : LineMatch{static_cast<std::size_t>(verticalScrollBar()->value()), 0};
    match_ = searched.next(lines_, from, forward, inclusive);
    if (searched.empty()) {
        findStatus_->clear();
    } else if (!match_) {
        findStatus_->setText(tr("no match"));
    } else {
        const LineSearch::Count count = searched.count(lines_, *match_);
        findStatus_->setText(tr("%1 of %2").arg(count.before + 1).arg(count.total));
        showMatch(*match_);
    }
    placeFindBar();
    viewport()->update();
}

void LogPane::showMatch(const LineMatch& match) {
    const qsizetype begin = columnOf(match.line, match.offset);
    const qsizetype end = columnOf(match.line, match.offset + findText_->text().toUtf8().size());
    anchor_ = {match.line, begin};
    cursor_ = {match.line, end};
    QScrollBar* bar = verticalScrollBar();
    const auto line = static_cast<int>(std::min<std::size_t>(match.line, INT32_MAX));
    if (line < bar->value() || line >= bar->value() + visibleLines()) {
        bar->setValue(line - visibleLines() / 2);
    }
    QScrollBar* across = horizontalScrollBar();
    const int x = static_cast<int>(begin) * charWidth_;
    if (x < across->value() || x > across->value() + viewport()->width() - charWidth_) {
        across->setValue(std::max(0, x - viewport()->width() / 2));
    }
}

qsizetype LogPane::columnOf(std::size_t line, std::size_t byteOffset) const {
    const std::string_view text = lines_.line(line).substr(0, byteOffset);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).size();
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
    match_.reset();
    findStatus_->clear();  // a count of lines no longer there
    placeFindBar();
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

void LogPane::copyAll() const {
    QApplication::clipboard()->setText(toPlainText());
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
    placeFindBar();
}

void LogPane::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const std::size_t first = static_cast<std::size_t>(verticalScrollBar()->value());
    const int left = 2 - horizontalScrollBar()->value();
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor found(255, 230, 120);  // every match of the find bar's text in view
    const std::optional<LineSearch> searched =
        findBar_->isVisible() ? std::optional(currentSearch()) : std::nullopt;
    const std::size_t needle = findText_->text().toUtf8().size();
    // Where a column of a line starts, as the text is drawn: the glyphs' advances are
    // fractional, so a column's place is measured, not counted in whole pixels.
    const QFontMetricsF metrics(viewport()->font());
    const auto columnX = [&](const QString& text, qsizetype column) {
        const qreal past = column > text.size() ? metrics.horizontalAdvance(QLatin1Char('0')) : 0;
        return left + metrics.horizontalAdvance(text.left(column)) + past;
    };
    const auto mark = [&](const QString& text, qsizetype begin, qsizetype end, int top,
                          const QColor& colour) {
        const qreal x = columnX(text, begin);
        painter.fillRect(QRectF(x, top, columnX(text, end) - x, lineHeight_), colour);
    };
    for (int row = 0;
         row <= visibleLines() && first + static_cast<std::size_t>(row) < lines_.size(); ++row) {
        const std::size_t index = first + static_cast<std::size_t>(row);
        const QString text = lineText(index);
        const int top = row * lineHeight_;
        if (searched && !searched->empty()) {
            searched->forEachIn(lines_.line(index), [&](std::size_t at) {
                mark(text, columnOf(index, at), columnOf(index, at + needle), top, found);
            });
        }
        if (from != to && index >= from.line && index <= to.line) {
            const qsizetype begin = index == from.line ? from.column : 0;
            const qsizetype end = index == to.line ? to.column : text.size() + 1;
            mark(text, begin, std::max(begin, end), top, highlight);
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
    const qreal x = point.x() - 2 + horizontalScrollBar()->value();
    const qreal advance = QFontMetricsF(viewport()->font()).horizontalAdvance(QLatin1Char('0'));
    const qsizetype column =
        std::clamp<qsizetype>(std::lround(x / advance), 0, lineText(line).size());
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
    if (event->matches(QKeySequence::Find)) {
        openFind();
    } else if (event->matches(QKeySequence::FindNext) ||
               event->matches(QKeySequence::FindPrevious)) {
        findNext(event->matches(QKeySequence::FindNext));
    } else if (event->matches(QKeySequence::Copy)) {
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
    menu.addAction(tr("Copy a&ll"), this, &LogPane::copyAll);
    menu.addSeparator();
    menu.addAction(tr("&Find..."), QKeySequence::Find, this, &LogPane::openFind);
    menu.addAction(tr("&Save as..."), this, &LogPane::saveRequested);
    menu.addSeparator();
    menu.addAction(tr("&Werte..."), this, &LogPane::valuesRequested);
    menu.exec(event->globalPos());
}

}  // namespace qrt::app
