#include <gtest/gtest.h>

#include "fakes/Fakes.h"

namespace {

const QString kNoBindings = QStringLiteral(
    "Sie sollten in der Tastenkonfiguration (Menü Extras) Steuertasten für den Blackscreen festlegen!\r\n\r\n");
const QString kArrows = QStringLiteral("Ich habe für Sie die Pfeil-Tasten für die Musiksteuerung voreingestellt...\r\n");

QString leaveWith(const QString& key) {
    return QStringLiteral("Sie können den Blackscreen mit folgender Taste verlassen: ") + key + QStringLiteral("\r\n\r\n");
}

void switchOn(TestKalvo& t, bool on = true) {
    t.view.bs = on;
    PassEvent e;
    e.kind = PassEvent::Kind::Control;
    e.window = MainWindowNo;
    e.item = CtlBlackscreen;
    t.k->shell.pass(e);
}

PassEvent input(int raw) {
    PassEvent e;
    e.kind = PassEvent::Kind::Input;
    e.window = MainWindowNo;
    e.rawMessage = raw;
    return e;
}

}  // namespace

TEST(Blackscreen, SwitchingOnMakesSureAKeyLeavesIt) {
    {   // No bindings: three paragraphs, Esc to leave and the four arrows.
        TestKalvo t;
        switchOn(t);
        EXPECT_EQ(t.k->settings.GBlackScreen, 1);
        ASSERT_EQ(t.messages.shown.size(), 1);
        EXPECT_EQ(t.messages.shown[0].text, kNoBindings + leaveWith("Esc") + kArrows);
        const QVector<KeyBinding>& list = t.k->bindings.KeyBindingList;
        ASSERT_EQ(list.size(), 5);
        const int expected[5][3] = {{1, 27, 6}, {2, 40, 1}, {3, 38, 2}, {4, 39, 3}, {5, 37, 4}};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(list[i].hotkeyId, expected[i][0]);
            EXPECT_EQ(list[i].keyCode, expected[i][1]);
            EXPECT_EQ(list[i].modifiers, 0);
            EXPECT_EQ(list[i].function, expected[i][2]);
        }
        // Switching off shows nothing and changes nothing.
        switchOn(t, false);
        EXPECT_EQ(t.k->settings.GBlackScreen, 0);
        EXPECT_EQ(t.messages.shown.size(), 1);
        EXPECT_EQ(list.size(), 5);
    }
    {   // Esc taken by another function: Space leaves, in a fresh id.
        TestKalvo t;
        t.k->bindings.KeyBindingList = {{2, 27, 0, 1}};
        switchOn(t);
        ASSERT_EQ(t.messages.shown.size(), 1);
        EXPECT_EQ(t.messages.shown[0].text, leaveWith("Space"));
        ASSERT_EQ(t.k->bindings.KeyBindingList.size(), 2);
        EXPECT_EQ(t.k->bindings.KeyBindingList[1].hotkeyId, 1);
        EXPECT_EQ(t.k->bindings.KeyBindingList[1].keyCode, 32);
        EXPECT_EQ(t.k->bindings.KeyBindingList[1].function, 6);
    }
    {   // Esc, Space and Q all taken: the option stays on, nothing is added.
        TestKalvo t;
        t.k->bindings.KeyBindingList = {{1, 27, 0, 1}, {2, 32, 0, 1}, {3, 81, 0, 1}};
        switchOn(t);
        EXPECT_EQ(t.k->settings.GBlackScreen, 1);
        ASSERT_EQ(t.messages.shown.size(), 1);
        EXPECT_EQ(t.messages.shown[0].text,
                  "Sie müssen in der Tasten Konfiguration (Menü Extras) ein Taste für das Verlassen des "
                  "Blackscreens festlegen!\r\n\r\n");
        EXPECT_EQ(t.k->bindings.KeyBindingList.size(), 3);
    }
    {   // A leave key exists: silence.
        TestKalvo t;
        t.k->bindings.KeyBindingList = {{1, 40, 0, 1}, {2, 81, 0, 6}};
        switchOn(t);
        EXPECT_TRUE(t.messages.shown.isEmpty());
        EXPECT_EQ(t.k->bindings.KeyBindingList.size(), 2);
    }
}

TEST(Blackscreen, PlayingOpensItAndTheLeaveKeyStopsAndClosesIt) {
    TestKalvo t;
    Kalvo& k = *t.k;
    const QString song = t.makeFile("music/a.mp3");
    k.library.songList.append(SongEntry{song, 0, 1000});
    k.bindings.KeyBindingList = {{1, 27, 0, FnStopLeaveBlackscreen}};
    k.settings.GBlackScreen = 1;

    // A song started by path (the restore dialog) opens nothing.
    ASSERT_TRUE(k.playback.Spielen(song));
    EXPECT_EQ(t.windows.blackOpens, 0);
    ASSERT_TRUE(k.playback.Spielen(QString()));
    ASSERT_TRUE(k.playback.Spielen(QString()));
    EXPECT_EQ(t.windows.blackOpens, 1);
    EXPECT_EQ(t.desktop.calls, QStringList{"screensaver 0"});
    // A second switch-off does not stack a second inhibition.
    k.blackscreen.SetScreenSaver(0);
    EXPECT_EQ(t.desktop.calls, QStringList{"screensaver 0"});

    PassEvent esc;
    esc.kind = PassEvent::Kind::KeyDown;
    esc.window = BlackWindowNo;
    esc.code = 27;
    k.shell.pass(esc);
    EXPECT_FALSE(t.windows.blackOpen);
    EXPECT_TRUE(k.playback.currentSong.isEmpty());
    EXPECT_FALSE(t.media.loaded);
    EXPECT_EQ(t.desktop.calls, (QStringList{"screensaver 0", "screensaver 1"}));
    EXPECT_EQ(k.settings.GBlackScreen, 1);  // the next song opens it again

    // The close request of the window leaves the same way.
    ASSERT_TRUE(k.playback.Spielen(QString()));
    PassEvent close;
    close.kind = PassEvent::Kind::Close;
    close.window = BlackWindowNo;
    k.shell.pass(close);
    EXPECT_FALSE(t.windows.blackOpen);
    EXPECT_TRUE(k.playback.currentSong.isEmpty());
    EXPECT_EQ(t.windows.blackCloses, 2);
    EXPECT_TRUE(t.logLines().isEmpty());
}

TEST(Blackscreen, FailuresAreLogLinesOnly) {
    TestKalvo t;
    Kalvo& k = *t.k;
    t.windows.blackFails = true;
    k.blackscreen.OpenBlackWin();
    EXPECT_EQ(t.logLines(), QStringList{"Konnte BlackWin nicht öffnen!"});
    EXPECT_TRUE(t.desktop.calls.isEmpty());  // the screensaver is left alone

    t.windows.blackFails = false;
    t.desktop.screensaverWorks = false;
    t.desktop.error = "org.freedesktop.ScreenSaver: no such service; X11: no display";
    k.blackscreen.OpenBlackWin();
    EXPECT_TRUE(t.windows.blackOpen);
    EXPECT_EQ(t.logLines().last(), "Error: Screensaver cannot be de-/activated! "
                                   "org.freedesktop.ScreenSaver: no such service; X11: no display");
    EXPECT_TRUE(t.messages.shown.isEmpty());
    // Nothing was switched off, so the next try switches again.
    k.blackscreen.SetScreenSaver(0);
    EXPECT_EQ(t.desktop.calls.count("screensaver 0"), 2);
}

// The monitor goes to low power GBlackScrMonOff seconds after an input,
// once per burst of input, only with "BS" on and a song loaded.
TEST(Blackscreen, MonitorRuleOverTheClock) {
    TestKalvo t;
    Kalvo& k = *t.k;
    k.settings.GBlackScreen = 1;
    k.settings.GBlackScrMonOff = 5;
    k.playback.currentSong = "/music/a.mp3";
    auto at = [&](int ms, const PassEvent& e) {
        t.clock.advance(ms);
        k.shell.pass(e);
    };
    at(0, input(WmKeyDown));
    at(4900, PassEvent{});
    EXPECT_EQ(t.desktop.lowPower, 0);
    at(105, PassEvent{});  // 5.005 s
    EXPECT_EQ(t.desktop.lowPower, 1);
    for (int i = 0; i < 100; ++i) at(105, PassEvent{});
    EXPECT_EQ(t.desktop.lowPower, 1);
    // Mouse moves keep it awake; a right click is no input for this rule.
    at(0, input(WmMouseMove));
    at(3000, input(WmLButtonUp));
    at(3000, input(WmRButtonDown));
    EXPECT_EQ(t.desktop.lowPower, 1);
    at(2100, PassEvent{});
    EXPECT_EQ(t.desktop.lowPower, 2);

    // No song, or MonOff 0: nothing, and the input time is kept as it was.
    at(0, input(WmKeyUp));
    k.playback.currentSong.clear();
    at(6000, PassEvent{});
    EXPECT_EQ(t.desktop.lowPower, 2);
    k.settings.GBlackScrMonOff = 0;
    k.playback.currentSong = "/music/a.mp3";
    at(6000, input(WmKeyDown));
    EXPECT_EQ(t.desktop.lowPower, 2);
    k.settings.GBlackScrMonOff = 5;
    at(0, PassEvent{});
    EXPECT_EQ(t.desktop.lowPower, 3);

    // Where the session has no monitor power: one log line for the run.
    t.desktop.lowPowerWorks = false;
    t.desktop.error = "no DPMS";
    for (int i = 0; i < 3; ++i) {
        at(0, input(WmKeyDown));
        at(5100, PassEvent{});
    }
    EXPECT_EQ(t.desktop.lowPower, 6);
    EXPECT_EQ(t.logLines(), QStringList{"CheckMonitorPower: the monitor cannot be put into low power: no DPMS"});
}
