#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

class QDateTimeEdit;

namespace qrt::app {

/// Lets a date or time field take a date or time typed in full, as an operator types it
/// over the whole text (after Ctrl+A, or entering the field by Tab): the digits and
/// separators typed replace the text, and are read when Enter, Tab or another key ends
/// the typing or the field is left; Escape gives the old value back. A text that names
/// no date or time is dropped. Typing into one selected section works as before.
void takeTypedDateTime(QDateTimeEdit& edit);

/// The date a typed text names: day, month and year in this order, separated by anything
/// but digits ("18.11.2026", "1.2.26": a two-digit year is of this century).
[[nodiscard]] std::optional<QDate> typedDate(const QString& text);
/// The time a typed text names: hours, then minutes and seconds when given ("7", "7:05").
[[nodiscard]] std::optional<QTime> typedTime(const QString& text);

}  // namespace qrt::app
