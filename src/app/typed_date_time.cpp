#include "app/typed_date_time.h"

#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTimer>

namespace qrt::app {

namespace {

QList<int> numbersIn(const QString& text) {
    static const QRegularExpression kNotDigits("\\D+");
    QList<int> numbers;
    for (const QString& part : text.split(kNotDigits, Qt::SkipEmptyParts)) {
        numbers.append(part.left(4).toInt());
    }
    return numbers;
}

bool isModifier(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

/// Watches one field's keys; lives as long as the field.
class TypedEntry final : public QObject {
  public:
    explicit TypedEntry(QDateTimeEdit& edit)
        : QObject(&edit), edit_(edit), text_(edit.findChild<QLineEdit*>()) {
        edit.installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                return keyPressed(*static_cast<QKeyEvent*>(event));
            case QEvent::FocusIn:
                enteredByTab(static_cast<QFocusEvent*>(event)->reason());
                return false;
            case QEvent::FocusOut:
                if (typing_) {
                    commit();
                }
                return false;
            default:
                return false;
        }
    }

  private:
    void enteredByTab(Qt::FocusReason reason) {
        // The whole text, not its first section, so a full date can be typed over it.
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
            QTimer::singleShot(0, text_, &QLineEdit::selectAll);
        }
    }

    bool keyPressed(const QKeyEvent& key) {
        const QString typed = key.text();
        const bool digit = typed.size() == 1 && typed[0].isDigit();
        if (!typing_) {
            if (!digit || text_->selectedText() != text_->text()) {
                return false;  // the field's own editing
            }
            typing_ = true;
            typed_.clear();
        }
        if (digit || (typed.size() == 1 && (typed[0].isPunct() || typed[0] == u' '))) {
            typed_ += typed;
            show(typed_);
            return true;
        }
        switch (key.key()) {
            case Qt::Key_Backspace:
                typed_.chop(1);
                show(typed_);
                return true;
            case Qt::Key_Escape:
                typing_ = false;
                show(edit_.dateTime().toString(edit_.displayFormat()));
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                commit();
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                // The typed text was the whole field: Tab leaves it instead of moving on
                // to its next section.
                commit();
                edit_.setCurrentSectionIndex(key.key() == Qt::Key_Tab ? edit_.sectionCount() - 1
                                                                      : 0);
                return false;
            default:
                if (!isModifier(key.key())) {
                    commit();  // an arrow: the field takes the typed value first
                }
                return false;
        }
    }

    void commit() {
        typing_ = false;
        if (edit_.displayedSections() & QDateTimeEdit::DateSections_Mask) {
            if (const auto date = typedDate(typed_)) {
                edit_.setDate(*date);
            }
        } else if (const auto time = typedTime(typed_)) {
            edit_.setTime(*time);
        }
        show(edit_.dateTime().toString(edit_.displayFormat()));
    }

    // The field's text without the field reading it on the way.
    void show(const QString& text) {
        const QSignalBlocker quiet(text_);
        text_->setText(text);
    }

    QDateTimeEdit& edit_;
    QLineEdit* text_;
    bool typing_ = false;
    QString typed_;
};

}  // namespace

void takeTypedDateTime(QDateTimeEdit& edit) {
    new TypedEntry(edit);
}

std::optional<QDate> typedDate(const QString& text) {
    const QList<int> numbers = numbersIn(text);
    if (numbers.size() != 3) {
        return std::nullopt;
    }
    const int year = numbers[2] < 100 ? 2000 + numbers[2] : numbers[2];
    const QDate date(year, numbers[1], numbers[0]);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

std::optional<QTime> typedTime(const QString& text) {
    const QList<int> numbers = numbersIn(text);
    if (numbers.isEmpty() || numbers.size() > 3) {
        return std::nullopt;
    }
    const QTime time(numbers[0], numbers.value(1), numbers.value(2));
    return time.isValid() ? std::optional(time) : std::nullopt;
}

}  // namespace qrt::app
