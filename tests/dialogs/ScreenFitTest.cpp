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

// Low on the screen a window gives up height, not its place; below its
// shortest useful height it keeps that height and moves up instead, never
// above the free area's top.
TEST(ScreenFit, HeightIsCutAtTheBottomDownToAShortestHeight) {
    const QRect area(0, 0, 1280, 1024);
    EXPECT_EQ(fitHeightInto(QRect(97, 600, 462, 325), area, 145), QRect(97, 600, 462, 325));
    EXPECT_EQ(fitHeightInto(QRect(97, 800, 462, 325), area, 145), QRect(97, 800, 462, 224));
    EXPECT_EQ(fitHeightInto(QRect(97, 950, 462, 325), area, 145), QRect(97, 879, 462, 145));
    EXPECT_EQ(fitHeightInto(QRect(97, 1100, 462, 325), area, 145), QRect(97, 879, 462, 145));
    // A window shorter than the shortest height keeps its own.
    EXPECT_EQ(fitHeightInto(QRect(97, 1000, 462, 100), area, 145), QRect(97, 924, 462, 100));
    // A screen too low for even the shortest height: the top stays on it.
    EXPECT_EQ(fitHeightInto(QRect(0, 50, 300, 325), QRect(0, 30, 1280, 100), 145), QRect(0, 30, 300, 100));
}
