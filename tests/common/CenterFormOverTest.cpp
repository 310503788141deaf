#include <gtest/gtest.h>

#include "common/CenterFormOver.h"

using common::CenterFormOver;
using common::ScreenSize;
using common::WindowPos;
using common::WindowRect;

struct CenterCase {
    const char* name;
    WindowRect reference;
    WindowRect form;
    ScreenSize screen;
    WindowPos expected;
};

TEST(CenterFormOver, PlacesDialogOverTheVisiblePartAndOnTheScreen) {
    const CenterCase cases[] = {
        // Main window partly past the right edge: centred over its visible 124 pixels, then
        // pulled left so the dialog lies wholly on the screen.
        {"worked example", {900, 100, 622, 447}, {0, 0, 423, 372}, {1024, 768}, {601, 137}},
        {"fully visible", {100, 100, 622, 447}, {0, 0, 423, 372}, {1024, 768}, {199, 137}},
        // Past the left edge: the whole width counts, then the dialog stops at x 0.
        {"negative left", {-500, 100, 622, 447}, {0, 0, 423, 372}, {1024, 768}, {0, 137}},
        {"negative left, still on screen", {-100, 100, 622, 447}, {0, 0, 200, 100}, {1024, 768}, {111, 273}},
        // Past the bottom edge: centred over the visible height.
        {"below bottom", {100, 600, 622, 447}, {0, 0, 423, 100}, {1024, 768}, {199, 634}},
        {"dialog wider than the screen", {0, 0, 622, 447}, {0, 0, 1200, 372}, {1024, 768}, {-176, 37}},
        {"dialog taller than the screen", {0, 0, 622, 447}, {0, 0, 423, 900}, {1024, 768}, {99, -132}},
        // Halving truncates toward zero: (1 - 4) / 2 is -1, not -2.
        {"odd negative difference", {10, 10, 1, 1}, {0, 0, 4, 4}, {1024, 768}, {9, 9}},
    };
    for (const CenterCase& c : cases) {
        EXPECT_EQ(CenterFormOver(c.reference, c.form, c.screen), c.expected) << c.name;
    }
}
