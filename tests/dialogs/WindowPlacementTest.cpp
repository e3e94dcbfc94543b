#include <gtest/gtest.h>

#include <QScreen>
#include <QWidget>

#include "dialogs/QtApp.h"
#include "dialogs/WindowPlacement.h"

TEST(WindowPlacement, CentresOnTheOwnerButNeverLeavesTheScreen) {
    qtApp();
    QWidget owner;
    owner.setGeometry(300, 200, 400, 180);
    QWidget small;
    small.resize(100, 50);
    centreOnOwner(&small, &owner);
    EXPECT_EQ(small.frameGeometry().center(), owner.frameGeometry().center());

    // A dialog twice as wide as the main window near the left edge would
    // open half off-screen if it were only centred.
    owner.setGeometry(0, 0, 400, 180);
    QWidget wide;
    wide.resize(800, 400);
    centreOnOwner(&wide, &owner);
    const QRect area = owner.screen()->availableGeometry();
    EXPECT_GE(wide.frameGeometry().left(), area.left());
    EXPECT_GE(wide.frameGeometry().top(), area.top());
}
