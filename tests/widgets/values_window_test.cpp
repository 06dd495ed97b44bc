// The values window and the places of the windows: what a technician sees of them.
#include <gtest/gtest.h>

#include "app/window_place.h"

using namespace qrt;

// A saved place is taken only where it fits the screens: an absurd or lost one gives the
// window its default place instead of blocking it or hiding it off-screen.
TEST(WindowPlace, ASavedPlaceIsTakenOnlyWhereItFitsTheScreens) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize minimum(200, 150);
    struct Case {
        QRect saved;
        std::optional<QRect> restored;
    };
    for (const Case& c : {
             Case{QRect(100, 50, 900, 640), QRect(100, 50, 900, 640)},
             Case{QRect(2000, 100, 900, 640), QRect(2000, 100, 900, 640)},  // second screen
             Case{QRect(100, 50, 1'000'000'000, 640), QRect(0, 50, 1920, 640)},
             Case{QRect(100, 50, 900, 1'000'000'000), QRect(100, 0, 900, 1080)},
             Case{QRect(1500, 900, 900, 640), QRect(1020, 440, 900, 640)},  // moved on
             Case{QRect(-100000, 50, 900, 640), std::nullopt},
             Case{QRect(100, -500, 900, 640), std::nullopt},  // title bar above the screen
             Case{QRect(100, 50, 0, 0), std::nullopt},        // nothing saved
             Case{QRect(100, 50, 150, 640), std::nullopt},    // narrower than the window can be
             Case{QRect(-2'000'000'000, -2'000'000'000, 2'000'000'000, 2'000'000'000),
                  std::nullopt},
         }) {
        EXPECT_EQ(app::placeToRestore(c.saved, screens, minimum), c.restored) << c.saved.x();
    }
}
