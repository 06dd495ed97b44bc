#pragma once

#include <QAbstractScrollArea>
#include <string_view>

#include "app/line_store.h"

namespace qrt::app {

/// A read-only, multi-line text pane for an unlimited number of lines: it keeps the
/// lines packed and draws only the visible ones, so appending costs the same at any
/// size. Text can be selected with the mouse or Ctrl+A and copied with Ctrl+C or the
/// context menu; while scrolled to the bottom the pane follows new lines.
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
    [[nodiscard]] const LineStore& store() const { return lines_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    struct Position {
        std::size_t line = 0;
        qsizetype column = 0;
        auto operator<=>(const Position&) const = default;
    };

    [[nodiscard]] Position positionAt(const QPoint& point) const;
    [[nodiscard]] int visibleLines() const;
    void updateScrollBars();

    LineStore lines_;
    Position anchor_;
    Position cursor_;
    bool selecting_ = false;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int ascent_ = 0;
};

}  // namespace qrt::app
