#pragma once

#include <QString>
#include <chrono>
#include <string_view>

class QWidget;

namespace qrt::ui {

class Dialogs;

/// How long a save waits for a FIFO or device that takes nothing before it gives up: the
/// window stays deaf while it writes.
inline constexpr std::chrono::milliseconds kSaveStallLimit{3000};

/// Writes a file the operator chose, replacing an existing one only once the new one is
/// complete. A file that cannot be written is reported in a warning: "Can't write NAME"
/// with the reason beneath it (the folder, when it is the folder that refuses; "a FIFO
/// that nothing reads"; "Broken pipe" when its reader went away). Returns whether it was
/// written.
bool saveFile(Dialogs& dialogs, QWidget* parent, const QString& title, const QString& path,
              std::string_view contents, std::chrono::milliseconds stallLimit = kSaveStallLimit);

}  // namespace qrt::ui
