#pragma once

#include <QStringList>
#include <optional>

#include "app/dialogs.h"

namespace qrt::testing {

/// Dialogs that never block: messages are recorded, file dialogs answer from a script.
class FakeDialogs final : public app::Dialogs {
public:
    void message(QWidget*, const QString& title, const QString& text) override {
        messages << title + ": " + text;
    }
    std::optional<QString> openFile(QWidget*, const QString& filter, const QString& suffix) override {
        openRequests << filter + " " + suffix;
        return openAnswer;
    }
    std::optional<QString> saveFile(QWidget*, const QString& proposed, const QString& filter,
                                    const QString& suffix) override {
        saveRequests << proposed + " " + filter + " " + suffix;
        return saveAnswer;
    }

    QStringList messages;
    QStringList openRequests;
    QStringList saveRequests;
    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
};

}  // namespace qrt::testing
