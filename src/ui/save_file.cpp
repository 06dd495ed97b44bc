#include "ui/save_file.h"

#include "common/replacing_file.h"
#include "ui/dialogs.h"

namespace qrt::ui {

bool saveFile(Dialogs& dialogs, QWidget* parent, const QString& title, const QString& path,
              std::string_view contents, std::chrono::milliseconds stallLimit) {
    common::ReplacingFile file(path.toStdString(), stallLimit);
    file.write(contents);
    if (file.isOpen() && file.commit()) {
        return true;
    }
    dialogs.warning(parent, title, "Can't write " + path, QString::fromStdString(file.reason()));
    return false;
}

}  // namespace qrt::ui
