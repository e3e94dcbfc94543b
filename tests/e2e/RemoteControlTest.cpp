// The remote control on a real X display: the real player on the xcb
// platform, keys sent with xdotool, what it plays captured to a WAV file.
#include <gtest/gtest.h>

#include "e2e/RemotePlayer.h"

#include <X11/Xlib.h>

using namespace xsession;
using namespace remote;
// Keys pressed in the main window run their functions whatever control has
// the focus, and the focused control does not act on them as well.
TEST(RemoteControl, MainWindowKeysWorkWhateverControlHasTheFocus) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|34|0|1", "2|33|0|2", "3|107|0|7"});
    ASSERT_TRUE(p.up());
    // The volume slider takes the focus: clicked on its handle (at 100, the
    // right end), so that the volume and with it the samples stay as they are.
    p.click(389, 90);
    p.key("Next");      // PageDown: next song
    EXPECT_TRUE(p.hears(2));
    p.key("Next");
    EXPECT_TRUE(p.hears(3));
    p.click(255, 145);  // the sleep-timer field
    p.key("Prior");     // PageUp: previous song
    EXPECT_TRUE(p.hears(2));
    p.click(30, 117);   // "Spielen" has the focus after the click
    p.key("Next");
    EXPECT_TRUE(p.hears(3));
    p.quit();
}

// A hotkey works while another program has the focus; the same key without
// its modifiers goes to that program, and Num Lock changes nothing.
TEST(RemoteControl, HotkeyWorksWhileAnotherProgramHasTheFocus) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|78|3|1", "2|46|0|6"});
    ASSERT_TRUE(p.up());
    OtherWindow other;
    ASSERT_FALSE(other.id.isEmpty());
    xdotool({"windowfocus", "--sync", other.id});
    ASSERT_EQ(focusedWindow(), other.id);

    p.key("ctrl+alt+n");
    EXPECT_TRUE(p.hears(2));
    p.key("n");
    p.key("n");
    EXPECT_EQ(p.heard(), 2);
    p.key("ctrl+alt+n");
    EXPECT_TRUE(p.hears(3));
    p.key("Num_Lock");
    p.key("ctrl+alt+n");
    EXPECT_TRUE(p.hears(4));
    p.key("Num_Lock");
    EXPECT_EQ(focusedWindow(), other.id);
    EXPECT_FALSE(p.log().contains("HotkeyID FAIL"));
    p.quit();
}

// A combination another program holds first: the log line and the message.
TEST(RemoteControl, CombinationHeldByAnotherProgramIsReported) {
    if (!available()) GTEST_SKIP() << "no X display";
    Grabber other("n", 3);  // CTRL+ALT
    ASSERT_TRUE(other.holds());
    RemotePlayer p;
    p.prepare({"7|78|3|1"});
    p.start();
    const QString box = waitForWindow(QStringLiteral("Kalvo2 Meldung"), 30000);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_TRUE(p.log().contains("HotkeyID FAIL=7  Key:78  Mod:3\r\n")) << p.log().toStdString();
    p.key("Return", box);
    ASSERT_FALSE(waitForWindow(QStringLiteral(" Kalvo2 0.992")).isEmpty());
    p.quit();
}

// "BS" on: playing covers the screen in black; a bound key works in it, the
// stop key closes it and ends the music.
TEST(RemoteControl, BlackscreenCoversTheScreenAndTheStopKeyEndsIt) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|27|0|6", "2|34|0|1"}, "GBlackScreen = 1\r\nGBlackScrMonOff = 0\r\n");
    ASSERT_TRUE(p.up());
    p.click(30, 117);  // "Spielen"
    const QString black = waitForWindow(QStringLiteral("Kalvo BlackWin"));
    ASSERT_FALSE(black.isEmpty());
    const QStringList screen = xdotool({"getdisplaygeometry"}).split(QLatin1Char(' '));
    ASSERT_EQ(screen.size(), 2);
    EXPECT_EQ(geometry(black), QRect(0, 0, screen[0].toInt(), screen[1].toInt()));
    EXPECT_TRUE(p.hears(1));
    p.key("Next", black);
    EXPECT_TRUE(p.hears(2));
    p.key("Escape", black);
    EXPECT_TRUE(waitUntilGone(QStringLiteral("Kalvo BlackWin")));
    EXPECT_EQ(p.heard(), 0);  // nothing more is played
    EXPECT_FALSE(waitForWindow(QStringLiteral(" Kalvo2 0.992"), 1000).isEmpty());
    p.quit();
}

namespace {
// The X server's keyboard layout for the life of the guard. A connection of
// its own stays open meanwhile: an X server that loses its last client resets
// to its own layout.
struct Layout {
    QString before;
    Display* keep = XOpenDisplay(nullptr);
    explicit Layout(const QString& layout) {
        QProcess q;
        q.start("setxkbmap", {"-query"});
        q.waitForFinished(20000);
        for (const QString& line : QString::fromLocal8Bit(q.readAllStandardOutput()).split('\n'))
            if (line.startsWith("layout:")) before = line.mid(7).trimmed();
        QProcess::execute("setxkbmap", {layout});
    }
    ~Layout() {
        QProcess::execute("setxkbmap", {before.isEmpty() ? QStringLiteral("us") : before});
        if (keep) XCloseDisplay(keep);
    }
};
}  // namespace

// Hotkeys on the keys of a German keyboard: grabbed on a German layout by
// their keysyms, on another layout by the key in their place.
TEST(RemoteControl, GermanKeysWorkAsHotkeys) {
    if (!available()) GTEST_SKIP() << "no X display";
    {
        Layout german("de");
        RemotePlayer p;
        p.prepare({"1|186|3|1", "2|219|3|1", "3|191|3|2", "4|226|3|1"});  // Ü, ß, #, <
        ASSERT_TRUE(p.up());
        p.key("ctrl+alt+udiaeresis");
        EXPECT_TRUE(p.hears(2));
        p.key("ctrl+alt+ssharp");
        EXPECT_TRUE(p.hears(3));
        p.key("ctrl+alt+numbersign");
        EXPECT_TRUE(p.hears(2));
        p.key("ctrl+alt+less");
        EXPECT_TRUE(p.hears(3));
        EXPECT_FALSE(p.log().contains("HotkeyID FAIL")) << p.log().toStdString();
        EXPECT_TRUE(p.log().contains("RegisterHotkeys: system-wide hotkeys through X11 key grabs (desktop shortcuts: "));
        p.quit();
    }
    Layout us("us");
    RemotePlayer p;
    p.prepare({"1|186|3|1"});
    ASSERT_TRUE(p.up());
    p.key("ctrl+alt+bracketleft");  // where Ü is on a German keyboard
    EXPECT_TRUE(p.hears(2));
    EXPECT_FALSE(p.log().contains("HotkeyID FAIL")) << p.log().toStdString();
    p.quit();
}
