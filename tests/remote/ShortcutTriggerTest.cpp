// Triggers the desktop is offered for the keys a binding can hold.
#include <gtest/gtest.h>

#include "remote/VirtualKeys.h"
#include "remote/platform/X11Keysyms.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

TEST(ShortcutTrigger, KeysOfTheKeyTableInTheFreedesktopForm) {
    EXPECT_EQ(shortcutTrigger(3, 'N'), "CTRL+ALT+n");
    EXPECT_EQ(shortcutTrigger(7, 'A'), "CTRL+ALT+SHIFT+a");
    EXPECT_EQ(shortcutTrigger(2, '0'), "CTRL+0");
    EXPECT_EQ(shortcutTrigger(6, 0x74), "CTRL+SHIFT+F5");
    EXPECT_EQ(shortcutTrigger(2, 0x87), "CTRL+F24");
    EXPECT_EQ(shortcutTrigger(1, 0x22), "ALT+Page_Down");
    EXPECT_EQ(shortcutTrigger(1, 0x21), "ALT+Page_Up");
    EXPECT_EQ(shortcutTrigger(2, 0x25), "CTRL+Left");
    EXPECT_EQ(shortcutTrigger(2, 0x28), "CTRL+Down");
    EXPECT_EQ(shortcutTrigger(4, 0x2E), "SHIFT+Delete");
    EXPECT_EQ(shortcutTrigger(2, 0x20), "CTRL+space");
    EXPECT_EQ(shortcutTrigger(2, 0x63), "CTRL+KP_3");
    EXPECT_EQ(shortcutTrigger(2, 0x6B), "CTRL+KP_Add");
    EXPECT_EQ(shortcutTrigger(2, 0xB0), "CTRL+XF86AudioNext");
    // The keys of a German keyboard.
    EXPECT_EQ(shortcutTrigger(3, 0xBA), "CTRL+ALT+udiaeresis");
    EXPECT_EQ(shortcutTrigger(3, 0xC0), "CTRL+ALT+odiaeresis");
    EXPECT_EQ(shortcutTrigger(3, 0xDE), "CTRL+ALT+adiaeresis");
    EXPECT_EQ(shortcutTrigger(3, 0xDB), "CTRL+ALT+ssharp");
    EXPECT_EQ(shortcutTrigger(3, 0xBF), "CTRL+ALT+numbersign");
    EXPECT_EQ(shortcutTrigger(3, 0xDC), "CTRL+ALT+dead_circumflex");
    EXPECT_EQ(shortcutTrigger(3, 0xDD), "CTRL+ALT+dead_acute");
    EXPECT_EQ(shortcutTrigger(3, 0xBB), "CTRL+ALT+plus");
    EXPECT_EQ(shortcutTrigger(3, 0xBD), "CTRL+ALT+minus");
    EXPECT_EQ(shortcutTrigger(3, 0xE2), "CTRL+ALT+less");
    // What the layout in use has on the key wins; letters stay lower case.
    EXPECT_EQ(shortcutTrigger(3, 0xBA, XK_bracketleft), "CTRL+ALT+bracketleft");
    EXPECT_EQ(shortcutTrigger(3, 'N', XK_N), "CTRL+ALT+n");
    // A key without a keysym offers no trigger.
    EXPECT_EQ(shortcutTrigger(3, 0xFF), "");
    EXPECT_EQ(shortcutTrigger(3, 0xDF), "");
}

TEST(ShortcutTrigger, EveryCapturedKeyNamesAKeysymXkbKnows) {
    // Every key the configuration window can capture, whatever Qt key it
    // arrives as, has a keysym, and its trigger names that keysym.
    for (int vk = 1; vk < 256; ++vk) {
        const int qt = qtKeyFromVirtualKey(vk);
        if (qt == 0) continue;
        const unsigned long sym = keysymFromVirtualKey(vk);
        // Keys X11 has no keysym for on a PC keyboard.
        if (vk == 0x29 || vk == 0x2A || vk == 0x2B || vk == 0x2F || vk == 0x5F || (vk >= 0xB6 && vk <= 0xB7) ||
            vk == 0xFA || vk == 0xFB)
            continue;
        ASSERT_NE(sym, 0u) << "virtual key " << vk;
        const QString trigger = shortcutTrigger(2, vk);
        ASSERT_TRUE(trigger.startsWith("CTRL+")) << vk;
        const QByteArray name = trigger.mid(5).toLatin1();
        EXPECT_EQ(XStringToKeysym(name.constData()), sym >= XK_A && sym <= XK_Z ? sym + (XK_a - XK_A) : sym)
            << "virtual key " << vk << " " << name.constData();
    }
    EXPECT_EQ(germanKeycodeOfVirtualKey(0xBA), 34u);
    EXPECT_EQ(germanKeycodeOfVirtualKey('A'), 0u);
}
