#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace qrt::ui {

/// The modal dialogs of the two windows, behind a seam so widget tests never block.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    /// A message box with OK and Cancel, and the reason beneath the text when there is
    /// one (its informative text); the answer is not needed.
    virtual void message(QWidget* parent, const QString& title, const QString& text,
                         const QString& reason) = 0;
    /// A warning with one OK button and the reason beneath the text: something the
    /// operator asked for was not done (a file that could not be saved).
    virtual void warning(QWidget* parent, const QString& title, const QString& text,
                         const QString& reason) = 0;
    /// An open-file dialog; empty when the operator cancels.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& filter,
                                            const QString& defaultSuffix) = 0;
    /// A save-file dialog proposing a name; empty when the operator cancels.
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& proposedName,
                                            const QString& filter,
                                            const QString& defaultSuffix) = 0;
};

/// The real dialogs. The open and save dialogs start in the folder of the last file
/// chosen in either, kept in the settings file ([Dialogs] Folder) once one is given.
class QtDialogs final : public Dialogs {
  public:
    /// Keeps the last folder in the settings file at `settingsPath`.
    void keepLastFolderIn(std::function<std::string()> settingsPath) {
        settingsPath_ = std::move(settingsPath);
    }

    void message(QWidget* parent, const QString& title, const QString& text,
                 const QString& reason) override;
    void warning(QWidget* parent, const QString& title, const QString& text,
                 const QString& reason) override;
    std::optional<QString> openFile(QWidget* parent, const QString& filter,
                                    const QString& defaultSuffix) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& proposedName,
                                    const QString& filter, const QString& defaultSuffix) override;

  private:
    /// Opens the dialog in the folder the last file was chosen in, when it is still there.
    void startInLastFolder(QFileDialog& dialog) const;
    /// Runs a file dialog and keeps the folder of the file chosen.
    std::optional<QString> choose(QFileDialog& dialog);

    std::function<std::string()> settingsPath_;
};

/// A filter in the "Name|*.ext" form turned into the dialog's "Name (*.ext)" form.
[[nodiscard]] QString dialogFilter(const QString& filter);

}  // namespace qrt::ui
