#include <gtest/gtest.h>

#include "remote/VirtualKeys.h"

TEST(VirtualKeys, CommonKeysMapToTheirWindowsCodes) {
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_A), 0x41);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Z, Qt::ShiftModifier), 0x5A);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_0), 0x30);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_F1), 0x70);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_F24), 0x87);
    // The keys presenters send.
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_PageUp), 0x21);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_PageDown), 0x22);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_F5), 0x74);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Escape), 0x1B);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Period), 0xBE);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_B), 0x42);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Left), 0x25);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Down), 0x28);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Space), 0x20);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_MediaNext), 0xB0);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_MediaTogglePlayPause), 0xB3);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_VolumeUp), 0xAF);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_unknown), 0);
}

TEST(VirtualKeys, KeypadAndShiftedSymbols) {
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_5, Qt::KeypadModifier), 0x65);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Plus, Qt::KeypadModifier), 0x6B);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Plus), 0xBB);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Minus, Qt::KeypadModifier), 0x6D);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Slash, Qt::KeypadModifier), 0x6F);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Asterisk, Qt::KeypadModifier), 0x6A);
    // Keypad navigation with NumLock off keeps the navigation codes.
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_PageDown, Qt::KeypadModifier), 0x22);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Enter, Qt::KeypadModifier), 0x0D);
    // German layout: Shift+1 is "!", Shift+7 is "/".
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Exclam, Qt::ShiftModifier), 0x31);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Slash, Qt::ShiftModifier), 0x37);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Adiaeresis), 0xDE);
}

TEST(VirtualKeys, CodesMapBackToAKey) {
    for (int vk : {0x08, 0x0D, 0x1B, 0x20, 0x21, 0x22, 0x25, 0x2E, 0x41, 0x5A, 0x30, 0x39, 0x70, 0x87, 0xB0, 0xB3,
                   0xBE}) {
        const int key = qtKeyFromVirtualKey(vk);
        ASSERT_NE(key, 0) << vk;
        EXPECT_EQ(virtualKeyFromQt(key), vk) << vk;
    }
    EXPECT_EQ(qtKeyFromVirtualKey(0x65), int(Qt::Key_5));
    EXPECT_TRUE(virtualKeyIsKeypad(0x65));
    EXPECT_FALSE(virtualKeyIsKeypad(0x35));
    EXPECT_EQ(qtKeyFromVirtualKey(0x07), 0);
}
