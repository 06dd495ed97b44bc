#include "ui/save_file.h"

#include "common/replacing_file.h"
#include "ui/dialogs.h"

namespace qrt::ui {

bool saveFile(Dialogs& dialogs, QWidget* parent, const QString& title, const QString& path,
              std::string_view contents) {
    common::ReplacingFile file(path.toStdString());
    file.write(contents);
    if (file.isOpen() && file.commit()) {
        return true;
    }
    dialogs.message(parent, title, "Can't write " + path, QString::fromStdString(file.reason()));
    return false;
}

}  // namespace qrt::ui
