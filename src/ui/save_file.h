#pragma once

#include <QString>
#include <string_view>

class QWidget;

namespace qrt::ui {

class Dialogs;

/// Writes a file the operator chose, replacing an existing one only once the new one is
/// complete. A file that cannot be written is reported in a message box: "Can't write
/// NAME" with the reason beneath it. Returns whether it was written.
bool saveFile(Dialogs& dialogs, QWidget* parent, const QString& title, const QString& path,
              std::string_view contents);

}  // namespace qrt::ui
