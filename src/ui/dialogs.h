#pragma once

#include <QString>
#include <optional>

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

/// The real dialogs.
class QtDialogs final : public Dialogs {
  public:
    void message(QWidget* parent, const QString& title, const QString& text,
                 const QString& reason) override;
    void warning(QWidget* parent, const QString& title, const QString& text,
                 const QString& reason) override;
    std::optional<QString> openFile(QWidget* parent, const QString& filter,
                                    const QString& defaultSuffix) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& proposedName,
                                    const QString& filter, const QString& defaultSuffix) override;
};

/// A filter in the "Name|*.ext" form turned into the dialog's "Name (*.ext)" form.
[[nodiscard]] QString dialogFilter(const QString& filter);

}  // namespace qrt::ui
