#pragma once

#include <QAbstractScrollArea>
#include <optional>
#include <string_view>

#include "app/line_search.h"
#include "app/line_store.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace qrt::app {

/// A read-only, multi-line text pane for an unlimited number of lines: it keeps the
/// lines packed and draws only the visible ones, so appending costs the same at any
/// size. Text can be selected with the mouse or Ctrl+A and copied with Ctrl+C or the
/// context menu; while scrolled to the bottom the pane follows new lines. Ctrl+F opens
/// a find bar over the pane (Enter or F3 next, Shift with them previous, Escape
/// closes); the context menu also finds, copies all and asks for the pane to be saved.
class LogPane : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit LogPane(QWidget* parent = nullptr);

    /// Appends one line (UTF-8); an embedded line break starts a further line.
    void appendLine(std::string_view utf8);
    void clear();
    [[nodiscard]] std::size_t lineCount() const { return lines_.size(); }
    [[nodiscard]] QString lineText(std::size_t index) const;
    /// All lines, joined by "\n".
    [[nodiscard]] QString toPlainText() const;
    [[nodiscard]] QString selectedText() const;
    void selectAll();
    void copy() const;
    /// Every line to the clipboard, joined by "\n".
    void copyAll() const;
    [[nodiscard]] const LineStore& store() const { return lines_; }

    /// Opens the find bar with its text selected.
    void openFind();
    /// Selects the next (or previous) match of the find bar's text, wrapping round.
    void findNext(bool forward = true);

  signals:
    /// The operator asked to save every line of the pane ("Save as...").
    void saveRequested();
    /// The operator asked for the values window.
    void valuesRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Position {
        std::size_t line = 0;
        qsizetype column = 0;
        auto operator<=>(const Position&) const = default;
    };

    [[nodiscard]] Position positionAt(const QPoint& point) const;
    [[nodiscard]] qsizetype columnOf(std::size_t line, std::size_t byteOffset) const;
    void buildFindBar();
    void placeFindBar();
    void search(bool forward, bool inclusive);
    void showMatch(const LineMatch& match);
    [[nodiscard]] LineSearch currentSearch() const;
    [[nodiscard]] int visibleLines() const;
    void updateScrollBars();

    LineStore lines_;
    Position anchor_;
    Position cursor_;
    bool selecting_ = false;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int ascent_ = 0;
    QWidget* findBar_ = nullptr;
    QLineEdit* findText_ = nullptr;
    QCheckBox* findCase_ = nullptr;
    QLabel* findStatus_ = nullptr;
    std::optional<LineMatch> match_;  // the current match of the find bar's text
};

}  // namespace qrt::app
