#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace qrt::ui {

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

std::optional<QString> QtDialogs::openFile(QWidget* parent, const QString& filter,
                                           const QString& defaultSuffix) {
    QFileDialog dialog(parent, QString(), QString(), dialogFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

std::optional<QString> QtDialogs::saveFile(QWidget* parent, const QString& proposedName,
                                           const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent, QString(), proposedName, dialogFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace qrt::ui
