// The key configuration window on a real X display, driven as a user drives
// it: opened through the main window's menu, a key pressed in it, a function
// chosen, "Neu" clicked, the window closed; then the key works in the main
// window and the binding is kept in the settings.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "e2e/RemotePlayer.h"

using namespace xsession;
using namespace remote;

namespace {

const QString kConfigTitle = QStringLiteral("Tasten, Presenter Konfiguration");

// Clicks at a point of a window without decorations (x, y inside it).
void clickIn(const QString& window, int x, int y) {
    const QRect g = geometry(window);
    xdotool({"mousemove", "--sync", QString::number(g.x() + x), QString::number(g.y() + y)});
    QThread::msleep(150);
    xdotool({"click", "1"});
    QThread::msleep(300);
}

}  // namespace

TEST(KeyConfigE2E, KeyPressedInTheConfigurationWindowBecomesAWorkingBinding) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({});
    ASSERT_TRUE(p.up());
    p.click(30, 117);  // "Spielen"
    ASSERT_TRUE(p.hears(1));
    p.key("n", p.window);
    QThread::msleep(1000);  // long enough for the player to act on the key
    EXPECT_EQ(p.heard(), 1) << "N does nothing while it is not bound";

    // "Extras → Tasten Konfig.": "Datei" opened with a click, the arrow keys
    // move on to "Extras", whose first item is then the active one.
    const int menuBar = geometry(p.window).height() - 180;
    clickIn(p.window, 15, menuBar / 2);
    xdotool({"key", "Right", "Right", "Return"});
    const QString config = waitForWindow(kConfigTitle);
    ASSERT_FALSE(config.isEmpty()) << "the key configuration window did not open";

    p.key("n", config);                  // becomes the captured key
    clickIn(config, 415, 240);           // the function drop-down
    xdotool({"key", "Home", "Return"});  // its first entry, "nächstes Lied"
    clickIn(config, 325, 20);            // "Neu"
    requestClose(config);
    ASSERT_TRUE(waitUntilGone(kConfigTitle));

    p.key("n", p.window);
    EXPECT_TRUE(p.hears(2));
    p.key("n", p.window);
    EXPECT_TRUE(p.hears(3));
    p.quit();
    // The one binding, N (virtual key 78) without modifiers for function 1.
    const QString bindings =
        QString::fromUtf8(p.settings()).section(QStringLiteral("[KeyKonfig]"), 1);
    EXPECT_TRUE(
        bindings.contains(QRegularExpression(QStringLiteral("KeyCode0 = \\d+\\|78\\|0\\|1\r\n"))))
        << bindings.toStdString();
    EXPECT_FALSE(bindings.contains(QStringLiteral("KeyCode1")));
}
