#pragma once

#include <QStringList>
#include <optional>

#include "ui/dialogs.h"

namespace qrt::testing {

/// Dialogs that never block: messages are recorded, file dialogs answer from a script.
class FakeDialogs final : public ui::Dialogs {
  public:
    void message(QWidget*, const QString& title, const QString& text,
                 const QString& reason) override {
        messages << title + ": " + text;
        reasons << reason;
    }
    void warning(QWidget*, const QString& title, const QString& text,
                 const QString& reason) override {
        warnings << title + ": " + text;
        reasons << reason;
    }
    std::optional<QString> openFile(QWidget*, const QString& filter,
                                    const QString& suffix) override {
        openRequests << filter + " " + suffix;
        return openAnswer;
    }
    std::optional<QString> saveFile(QWidget*, const QString& proposed, const QString& filter,
                                    const QString& suffix) override {
        saveRequests << proposed + " " + filter + " " + suffix;
        return saveAnswer;
    }

    QStringList messages;
    QStringList warnings;
    QStringList reasons;  // the informative text of each message or warning
    QStringList openRequests;
    QStringList saveRequests;
    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
};

}  // namespace qrt::testing
