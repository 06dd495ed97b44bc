#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "common/settings_file.h"

namespace qrt::ui {

namespace {

// Our own section of the settings file, and room for any path.
constexpr const char* kSection = "Dialogs";
constexpr const char* kFolderKey = "Folder";
constexpr std::size_t kPathBuffer = 4096;

}  // namespace

QString dialogFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    if (parts.size() != 2) {
        return filter;
    }
    return parts[0] + " (" + parts[1] + ")";
}

void QtDialogs::message(QWidget* parent, const QString& title, const QString& text,
                        const QString& reason) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setInformativeText(reason);
    box.exec();
}

void QtDialogs::warning(QWidget* parent, const QString& title, const QString& text,
                        const QString& reason) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(reason);
    box.exec();
}

void QtDialogs::startInLastFolder(QFileDialog& dialog) const {
    if (!settingsPath_) {
        return;
    }
    const QString folder = QString::fromStdString(
        common::SettingsFile(settingsPath_()).readString(kSection, kFolderKey, {}, kPathBuffer));
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        dialog.setDirectory(folder);
    }
}

std::optional<QString> QtDialogs::choose(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    const QFileInfo folder(QFileInfo(chosen).absolutePath());
    if (settingsPath_ && folder.isDir()) {
        common::SettingsFile(settingsPath_())
            .writeString(kSection, kFolderKey,
                         QDir::toNativeSeparators(folder.absoluteFilePath()).toStdString());
    }
    return chosen;
}

std::optional<QString> QtDialogs::openFile(QWidget* parent, const QString& filter,
                                           const QString& defaultSuffix) {
    QFileDialog dialog(parent, QString(), QString(), dialogFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setFileMode(QFileDialog::ExistingFile);
    startInLastFolder(dialog);
    return choose(dialog);
}

std::optional<QString> QtDialogs::saveFile(QWidget* parent, const QString& proposedName,
                                           const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent, QString(), proposedName, dialogFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    startInLastFolder(dialog);
    dialog.selectFile(proposedName);
    return choose(dialog);
}

}  // namespace qrt::ui
