// The menus on a real X display, reached from the keyboard: ALT and a
// title's letter open a menu, a letter of the open menu runs its item, and a
// key bound to a function acts once, never as both binding and menu letter.
#include <gtest/gtest.h>

#include "e2e/RemotePlayer.h"

using namespace xsession;
using namespace remote;

TEST(MenuKeysE2E, AltLettersOpenTheMenusAndABoundLetterActsOnce) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|68|0|1"});  // D alone: next song
    ASSERT_TRUE(p.up());
    p.click(30, 117);  // "Spielen"
    ASSERT_TRUE(p.hears(1));

    // ALT+D opens "Datei" and D's binding stays still; Esc closes the menu.
    p.key("alt+d", p.window);
    QThread::msleep(500);
    p.key("Escape");
    QThread::msleep(1000);
    EXPECT_EQ(p.heard(), 1) << "the binding of D ran with the menu letter";
    // D alone runs the binding.
    p.key("d", p.window);
    EXPECT_TRUE(p.hears(2));

    // ALT+L, then B: "Liste → Bearbeiten".
    p.key("alt+l", p.window);
    QThread::msleep(500);
    p.key("b");
    const QString edit = waitForWindow(QStringLiteral("Kalvo2 Liste bearbeiten"));
    ASSERT_FALSE(edit.isEmpty()) << "ALT+L, B opened no list edit window";
    const QRect g = geometry(edit);
    xdotool({"mousemove", "--sync", QString::number(g.x() + 320), QString::number(g.y() + 347)});
    xdotool({"click", "1"});  // "OK"
    ASSERT_TRUE(waitUntilGone(QStringLiteral("Kalvo2 Liste bearbeiten")));
    EXPECT_EQ(p.heard(), 2);

    // ALT+D, then B: "Datei → Beenden" ends the player in order.
    p.key("alt+d", p.window);
    QThread::msleep(500);
    p.key("b");
    ASSERT_TRUE(p.process.waitForFinished(30000)) << "ALT+D, B did not end the player";
    EXPECT_EQ(p.process.exitCode(), 0);
}
