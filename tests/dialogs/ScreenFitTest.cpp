#include <gtest/gtest.h>

#include "dialogs/ScreenFit.h"

// A frame that lies on the free area stays; one that reaches past an edge is
// moved back; one larger than the area is cut to it with its title bar (top
// left) on the screen.
TEST(ScreenFit, FramesAreMovedOntoTheAreaAndCutWhereTooLarge) {
    const QRect area(0, 0, 1280, 1024);
    EXPECT_EQ(fitFrameInto(QRect(100, 100, 462, 325), area), QRect(100, 100, 462, 325));
    // Below a main window low on the screen.
    EXPECT_EQ(fitFrameInto(QRect(97, 900, 462, 325), area), QRect(97, 699, 462, 325));
    EXPECT_EQ(fitFrameInto(QRect(1000, 100, 462, 325), area), QRect(818, 100, 462, 325));
    EXPECT_EQ(fitFrameInto(QRect(-20, -5, 462, 325), area), QRect(0, 0, 462, 325));
    EXPECT_EQ(fitFrameInto(QRect(50, 300, 1400, 1100), area), QRect(0, 0, 1280, 1024));
    // A panel takes the top of the screen.
    const QRect free(0, 30, 1280, 994);
    EXPECT_EQ(fitFrameInto(QRect(10, 10, 300, 200), free), QRect(10, 30, 300, 200));
    EXPECT_EQ(fitFrameInto(QRect(10, 900, 300, 1200), free), QRect(10, 30, 300, 994));
}
