#pragma once

#include <QList>
#include <QRect>
#include <optional>
#include <string>

class QWidget;

namespace qrt::app {

/// The place a window may take from a saved one, or none: a size below `minimum` or
/// one whose title bar lies on no screen gives none (the window keeps its default); a
/// larger one is cut to the screen and moved onto it. `screens` are the screens'
/// available areas.
[[nodiscard]] std::optional<QRect> placeToRestore(const QRect& saved, const QList<QRect>& screens,
                                                  const QSize& minimum);

/// Restores a window's place from a section of the settings file (Left, Top, Width,
/// Height: its frame's place and its size) when it fits the screens, and saves it there.
/// Restore before the window is shown: a window manager puts the frame of a window
/// not yet shown where it is told, but a shown one's client area.
void restorePlace(QWidget& window, const std::string& settingsPath, const char* section);
void savePlace(const QWidget& window, const std::string& settingsPath, const char* section);

}  // namespace qrt::app
