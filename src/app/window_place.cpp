#include "app/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "common/settings_file.h"

namespace qrt::app {

namespace {

constexpr int kTitleBar = 24;      // pixels of the title bar that must lie on a screen
constexpr int kGrip = 64;          // ... over at least this width, to be dragged
constexpr int kLimit = 1'000'000;  // beyond any screen: keeps the sums below in range

}  // namespace

std::optional<QRect> placeToRestore(const QRect& saved, const QList<QRect>& screens,
                                    const QSize& minimum) {
    const auto within = [](int value) { return std::clamp(value, -kLimit, kLimit); };
    const QRect place(within(saved.x()), within(saved.y()), within(saved.width()),
                      within(saved.height()));
    if (place.width() < minimum.width() || place.height() < minimum.height()) {
        return std::nullopt;
    }
    const QRect titleBar(place.x(), place.y(), place.width(), kTitleBar);
    for (const QRect& screen : screens) {
        const QRect shown = titleBar.intersected(screen);
        if (shown.width() < kGrip || shown.height() < kTitleBar) {
            continue;
        }
        const int width = std::min(place.width(), screen.width());
        const int height = std::min(place.height(), screen.height());
        return QRect(std::clamp(place.x(), screen.left(), screen.right() + 1 - width),
                     std::clamp(place.y(), screen.top(), screen.bottom() + 1 - height), width,
                     height);
    }
    return std::nullopt;
}

void restorePlace(QWidget& window, const std::string& settingsPath, const char* section) {
    const common::SettingsFile settings(settingsPath);
    const QRect saved(settings.readInt(section, "Left", 0), settings.readInt(section, "Top", 0),
                      settings.readInt(section, "Width", 0),
                      settings.readInt(section, "Height", 0));
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->availableGeometry());
    }
    if (const auto place = placeToRestore(saved, screens, window.minimumSizeHint())) {
        window.resize(place->size());
        window.move(place->topLeft());
    }
}

void savePlace(const QWidget& window, const std::string& settingsPath, const char* section) {
    common::SettingsFile settings(settingsPath);
    const auto number = [](int value) { return std::to_string(value); };
    settings.writeString(section, "Left", number(window.x()));
    settings.writeString(section, "Top", number(window.y()));
    settings.writeString(section, "Width", number(window.width()));
    settings.writeString(section, "Height", number(window.height()));
}

}  // namespace qrt::app
