// Bindings as shortcuts the desktop keeps: what is bound, when again, what
// the answers give, and how a pressed shortcut runs.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "remote/KeyConfig.h"

#include "fakes/Fakes.h"

namespace {

const QString kFailText =
    "\r\n\r\nEvtl. wurde der Hotkey schon im System zugewiesen \r\n- versuchen Sie eine andere Kombination!";

QStringList ids(const QVector<DesktopShortcut>& list) {
    QStringList out;
    for (const DesktopShortcut& s : list)
        out << QStringLiteral("%1 %2 %3 %4").arg(s.id).arg(s.modifiers).arg(s.virtualKey).arg(s.description);
    return out;
}

DesktopShortcutAnswer bound(const QHash<QString, QString>& triggers) {
    return DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Bound, triggers, {}};
}

PassEvent shortcut(const QString& id, bool repeat = false) {
    PassEvent e;
    e.kind = PassEvent::Kind::Hotkey;
    e.code = KeyBindings::HotkeyIdOfShortcut(id);
    e.autoRepeat = repeat;
    return e;
}

struct OnDesktop : TestKalvo {
    KeyBindings& b = k->bindings;
    OnDesktop() {
        desktop.shortcutsOffered = true;
        desktop.shortcutsHow = "org.freedesktop.portal.GlobalShortcuts version 1";
    }
};

}  // namespace

TEST(DesktopShortcuts, OneShortcutPerBindingWithModifiersInListOrderAndNoGrabs) {
    OnDesktop t;
    t.b.KeyBindingList = {{1, 40, 0, 1}, {2, 78, 3, 1}, {3, 0x22, 1, 2}, {2, 79, 2, 3}, {5, 0xBA, 3, 11}, {6, 80, 4, 0}};
    t.b.RegisterHotkeys();
    ASSERT_EQ(t.desktop.binds.size(), 1);
    // Plain keys are no shortcut; a twin of an id gives no second one.
    EXPECT_EQ(ids(t.desktop.binds[0]), (QStringList{"hotkey-2 3 78 nächstes Lied", "hotkey-3 1 34 voriges Lied",
                                                    "hotkey-5 3 186 Löschen rückgängig", "hotkey-6 4 80 Kalvo2 P"}));
    EXPECT_TRUE(t.desktop.calls.isEmpty());  // no X11 grab at all
    EXPECT_EQ(t.logLines(), QStringList{"RegisterHotkeys: system-wide hotkeys through the desktop's shortcuts "
                                        "(org.freedesktop.portal.GlobalShortcuts version 1)"});
    EXPECT_EQ(KeyBindings::HotkeyIdOfShortcut(KeyBindings::ShortcutId(17)), 17);
    EXPECT_EQ(KeyBindings::HotkeyIdOfShortcut("hotkey-x"), 0);
    EXPECT_EQ(KeyBindings::HotkeyIdOfShortcut("other-3"), 0);
}

TEST(DesktopShortcuts, AnswersAreReportedByThePassPerBinding) {
    OnDesktop t;
    t.b.KeyBindingList = {{2, 78, 3, 1}, {3, 77, 6, 2}, {4, 76, 4, 5}};
    t.b.RegisterHotkeys();
    ASSERT_EQ(t.desktop.bindAnswers.size(), 1);
    QFile::remove(t.k->shell.logFile);

    // The desktop bound two of three: a line with its trigger for each; the
    // one it holds without a trigger is grabbed on X11 instead, no box.
    t.desktop.bindAnswers[0](bound({{"hotkey-2", "Ctrl+Alt+N"}, {"hotkey-3", ""}, {"hotkey-4", "Shift+L"}}));
    EXPECT_TRUE(t.logLines().isEmpty());  // reported in the pass, not in the callback
    t.k->shell.pass(PassEvent{});
    EXPECT_EQ(t.logLines(), (QStringList{"HotkeyID 2 (nächstes Lied): Ctrl+Alt+N",
                                         "HotkeyID 3 (voriges Lied): no trigger on the desktop",
                                         "HotkeyID 4 (Lied löschen): Shift+L",
                                         "RegisterHotkeys: X11 key grabs take the shortcuts the desktop holds no "
                                         "trigger for"}));
    EXPECT_EQ(t.desktop.calls, (QStringList{"unregister 3", "register 3 6 77"}));
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_EQ(t.b.DesktopTrigger(2), "Ctrl+Alt+N");
    EXPECT_EQ(t.b.HotkeyReach(), KeyBindings::Reach::Desktop);
    t.k->shell.pass(PassEvent{});
    EXPECT_EQ(t.desktop.calls.size(), 2);  // once per bind

    // A refused request leaves every binding to X11; a key another program
    // holds there gets its failure line and box.
    QFile::remove(t.k->shell.logFile);
    t.desktop.calls.clear();
    t.desktop.refusedIds = {2};
    t.b.KeyBindingList = {{2, 78, 3, 1}, {3, 77, 2, 2}};
    t.b.RegisterHotkeys();
    ASSERT_EQ(t.desktop.bindAnswers.size(), 2);
    t.desktop.bindAnswers[1](DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Failed, {}, "BindShortcuts answered 2"});
    t.b.HotkeyStep();
    EXPECT_EQ(t.logLines(), (QStringList{"RegisterHotkeys: the desktop refused the shortcuts: BindShortcuts answered 2",
                                         "RegisterHotkeys: X11 key grabs take the shortcuts the desktop holds no "
                                         "trigger for",
                                         "HotkeyID FAIL=2  Key:78  Mod:3"}));
    EXPECT_EQ(t.desktop.registered, (QVector<int>{3}));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "HotkeyID FAIL=2  Key:78  Mod:3" + kFailText);
    EXPECT_EQ(t.b.HotkeyReach(), KeyBindings::Reach::X11);
    t.desktop.refusedIds.clear();

    // Silence costs one log line; what the desktop says later still counts.
    // An answer to an older bind changes nothing.
    QFile::remove(t.k->shell.logFile);
    t.messages.shown.clear();
    t.b.KeyBindingList = {{2, 78, 3, 1}};
    t.b.RegisterHotkeys();
    ASSERT_EQ(t.desktop.bindAnswers.size(), 3);
    t.desktop.bindAnswers[2](DesktopShortcutAnswer{DesktopShortcutAnswer::Status::NoAnswer, {}, "no answer within 5 s"});
    t.desktop.bindAnswers[0](bound({}));
    t.b.HotkeyStep();
    EXPECT_EQ(t.logLines(), (QStringList{"RegisterHotkeys: the desktop did not answer the shortcuts: no answer within 5 s",
                                         "RegisterHotkeys: X11 key grabs take the shortcuts the desktop holds no "
                                         "trigger for"}));
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_EQ(t.desktop.registered, (QVector<int>{2}));  // X11 stands in meanwhile
    t.desktop.bindAnswers[2](bound({{"hotkey-2", "Ctrl+Alt+N"}}));
    t.b.HotkeyStep();
    EXPECT_EQ(t.logLines().last(), "HotkeyID 2 (nächstes Lied): Ctrl+Alt+N");
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(t.desktop.registered.isEmpty());  // the grabs that stood in are given back
}

// Off X11 nothing can stand in for a shortcut the desktop does not give a
// trigger: one log line and one notice for the whole run, never a box.
TEST(DesktopShortcuts, WithoutX11MissingTriggersAreSaidOnceWithoutABox) {
    OnDesktop t;
    t.desktop.hotkeys = false;
    t.b.KeyBindingList = {{2, 78, 3, 1}, {3, 77, 6, 2}, {4, 76, 4, 5}};
    t.b.RegisterHotkeys();
    QFile::remove(t.k->shell.logFile);
    t.desktop.bindAnswers[0](bound({{"hotkey-2", "Ctrl+Alt+N"}, {"hotkey-3", ""}}));
    t.b.HotkeyStep();
    EXPECT_EQ(t.logLines(), (QStringList{"HotkeyID 2 (nächstes Lied): Ctrl+Alt+N",
                                         "HotkeyID 3 (voriges Lied): no trigger on the desktop",
                                         "HotkeyID 4 (Lied löschen): no trigger on the desktop",
                                         "RegisterHotkeys: system-wide hotkeys are not available: the desktop holds "
                                         "no trigger for: voriges Lied, Lied löschen"}));
    ASSERT_EQ(t.messages.notices.size(), 1);
    EXPECT_TRUE(t.messages.notices[0].contains("voriges Lied, Lied löschen")) << t.messages.notices[0].toStdString();
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(t.desktop.calls.isEmpty());
    EXPECT_EQ(t.b.HotkeyReach(), KeyBindings::Reach::Desktop);  // one of them works

    // The next bind that misses one says nothing new.
    t.b.KeyBindingList = {{2, 78, 3, 3}};
    t.b.RegisterHotkeys();
    t.desktop.bindAnswers[1](DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Failed, {}, "BindShortcuts answered 2"});
    t.b.HotkeyStep();
    EXPECT_EQ(t.messages.notices.size(), 1);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_EQ(t.b.HotkeyReach(), KeyBindings::Reach::None);

    // A session with neither the desktop's shortcuts nor X11: the same.
    TestKalvo u;
    u.desktop.hotkeys = false;
    u.k->bindings.KeyBindingList = {{2, 78, 3, 1}, {3, 77, 6, 2}};
    u.k->bindings.RegisterHotkeys();
    u.k->bindings.RegisterHotkeys();
    EXPECT_EQ(u.messages.notices.size(), 1);
    EXPECT_TRUE(u.messages.shown.isEmpty());
    EXPECT_EQ(u.logLines().filter("system-wide hotkeys are not available").size(), 1);
    EXPECT_EQ(u.k->bindings.HotkeyReach(), KeyBindings::Reach::None);
}

// The user gives a shortcut another trigger on the desktop: the log and the
// key configuration window follow; a trigger taken away is grabbed instead.
TEST(DesktopShortcuts, TriggersChangedOnTheDesktopAreFollowed) {
    OnDesktop t;
    t.b.KeyBindingList = {{2, 78, 3, 1}, {3, 77, 6, 2}};
    t.b.RegisterHotkeys();
    t.desktop.bindAnswers[0](bound({{"hotkey-2", "Ctrl+Alt+N"}, {"hotkey-3", "Ctrl+Shift+M"}}));
    t.b.HotkeyStep();
    QFile::remove(t.k->shell.logFile);
    const auto changed = [](const QHash<QString, QString>& triggers) {
        return DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Changed, triggers, {}};
    };
    t.desktop.bindAnswers[0](changed({{"hotkey-2", "Meta+F7"}, {"hotkey-3", "Ctrl+Shift+M"}}));
    t.b.HotkeyStep();
    EXPECT_EQ(t.logLines(), QStringList{"HotkeyID 2 (nächstes Lied): Meta+F7"});
    EXPECT_EQ(KeyConfig(*t.k).Select(2).desktopTrigger, "Meta+F7");  // what the window shows
    EXPECT_EQ(t.b.DesktopTrigger(3), "Ctrl+Shift+M");
    EXPECT_TRUE(t.desktop.calls.isEmpty());

    t.desktop.bindAnswers[0](changed({{"hotkey-2", "Meta+F7"}, {"hotkey-3", ""}}));
    t.b.HotkeyStep();
    EXPECT_EQ(t.logLines().mid(1), (QStringList{"HotkeyID 3 (voriges Lied): no trigger on the desktop",
                                                "RegisterHotkeys: X11 key grabs take the shortcuts the desktop holds "
                                                "no trigger for"}));
    EXPECT_EQ(t.desktop.registered, (QVector<int>{3}));
    EXPECT_EQ(t.b.DesktopTrigger(3), "");
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST(DesktopShortcuts, OnlyAChangedBindingWithModifiersBindsAgain) {
    OnDesktop t;
    KeyConfig config(*t.k);
    t.b.KeyBindingList = {{1, 40, 0, 1}, {2, 78, 3, 1}};
    t.b.RegisterHotkeys();
    config.Open();
    config.Close();
    t.b.RegisterHotkeys();
    EXPECT_EQ(t.desktop.binds.size(), 1);

    t.b.KeyBindingList[0].keyCode = 41;  // a plain key is no shortcut
    config.Open();
    config.Close();
    EXPECT_EQ(t.desktop.binds.size(), 1);

    const auto changed = [&t, &config](auto change) {
        const int before = t.desktop.binds.size();
        config.Open();
        change(t.b.KeyBindingList);
        config.Close();
        return t.desktop.binds.size() == before + 1;
    };
    EXPECT_TRUE(changed([](QVector<KeyBinding>& l) { l[1].modifiers = 2; }));
    EXPECT_TRUE(changed([](QVector<KeyBinding>& l) { l[1].keyCode = 79; }));
    EXPECT_TRUE(changed([](QVector<KeyBinding>& l) { l[1].function = 3; }));
    EXPECT_TRUE(changed([](QVector<KeyBinding>& l) { l.append({3, 80, 1, 4}); }));
    EXPECT_TRUE(changed([](QVector<KeyBinding>& l) { l[0].modifiers = 1; }));
    EXPECT_EQ(ids(t.desktop.binds.last()),
              (QStringList{"hotkey-1 1 41 nächstes Lied", "hotkey-2 2 79 vorwärts springen", "hotkey-3 1 80 zurück springen"}));
    // Deleting the last one leaves the desktop an empty set.
    EXPECT_TRUE(changed([](QVector<KeyBinding>& l) { l = {{1, 41, 0, 1}}; }));
    EXPECT_TRUE(t.desktop.binds.last().isEmpty());
}

TEST(DesktopShortcuts, TheRoadIsChosenWhenTheDesktopAnswers) {
    TestKalvo t;
    KeyBindings& b = t.k->bindings;
    t.desktop.probeLater = true;
    b.KeyBindingList = {{2, 78, 3, 1}};
    b.RegisterHotkeys();
    b.RegisterHotkeys();
    EXPECT_TRUE(t.desktop.calls.isEmpty());
    ASSERT_TRUE(t.desktop.probeDone);
    // The portal says no: the X11 grabs, once the pass runs.
    t.desktop.probeDone(false, "no desktop portal on the session bus");
    EXPECT_TRUE(t.desktop.calls.isEmpty());
    t.k->shell.pass(PassEvent{});
    EXPECT_EQ(t.desktop.calls, (QStringList{"unregister 2", "register 2 3 78"}));
    EXPECT_TRUE(t.desktop.binds.isEmpty());
    EXPECT_EQ(t.logLines(), QStringList{"RegisterHotkeys: system-wide hotkeys through X11 key grabs "
                                        "(desktop shortcuts: no desktop portal on the session bus)"});

    // An answer while the configuration window is open waits for its close.
    TestKalvo u;
    u.desktop.probeLater = true;
    u.desktop.shortcutsOffered = true;
    u.k->bindings.KeyBindingList = {{2, 78, 3, 1}};
    u.k->bindings.RegisterHotkeys();
    KeyConfig config(*u.k);
    config.Open();
    u.desktop.probeDone(true, "version 1");
    u.k->bindings.HotkeyStep();
    EXPECT_TRUE(u.desktop.binds.isEmpty());
    config.Close();
    EXPECT_EQ(u.desktop.binds.size(), 1);
}

TEST(DesktopShortcuts, APressedShortcutRunsItsBindingLikeAHotkey) {
    OnDesktop t;
    QStringList songs;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        songs << t.makeFile(QStringLiteral("music/") + name);
        t.k->library.songList.append(SongEntry{songs.last(), 0, 1000});
    }
    t.media.requireFiles = true;
    t.k->settings.FortwAbspielen = 0;
    t.k->playback.Spielen(QString());
    t.b.KeyBindingList = {{2, 78, 3, 1}, {4, 76, 3, 5}};
    t.b.RegisterHotkeys();
    ASSERT_EQ(t.k->playback.currentSong, songs[0]);

    t.clock.advance(1000);
    uint32_t before = t.k->shell.lastActivityTime;
    t.k->shell.pass(shortcut("hotkey-2"));
    EXPECT_EQ(t.k->playback.currentSong, songs[1]);
    EXPECT_NE(t.k->shell.lastActivityTime, before);

    // While a message box or dialog holds the pass, the press is dropped.
    {
        PassSuspension dialog(t.k->shell);
        t.k->shell.pass(shortcut("hotkey-2"));
    }
    EXPECT_EQ(t.k->playback.currentSong, songs[1]);
    // So it is while the key configuration window is open.
    KeyConfig config(*t.k);
    config.Open();
    t.k->shell.pass(shortcut("hotkey-2"));
    EXPECT_EQ(t.k->playback.currentSong, songs[1]);
    config.Close();

    // Held down, the delete shortcut deletes once.
    t.k->shell.pass(shortcut("hotkey-4", true));
    EXPECT_TRUE(QFileInfo::exists(songs[1]));
    t.k->shell.pass(shortcut("hotkey-4"));
    EXPECT_FALSE(QFileInfo::exists(songs[1]));
    // A shortcut of no binding does nothing.
    t.clock.advance(1000);
    before = t.k->shell.lastActivityTime;
    t.k->shell.pass(shortcut("hotkey-9"));
    EXPECT_EQ(t.k->shell.lastActivityTime, before);
}

TEST(DesktopShortcuts, SuspendIsHeldOffWhileASongIsHeard) {
    TestKalvo t;
    const QString song = t.makeFile("music/a.mp3");
    t.k->library.songList.append(SongEntry{song, 0, 1000});
    t.media.requireFiles = true;
    t.k->settings.FortwAbspielen = 0;
    t.k->shell.pass(PassEvent{});
    EXPECT_TRUE(t.desktop.suspendHolds.isEmpty());
    t.k->playback.Spielen(QString());
    t.k->shell.pass(PassEvent{});
    t.k->shell.pass(PassEvent{});
    t.k->playback.halted = true;  // at its end, nothing follows
    t.k->shell.pass(PassEvent{});
    t.k->playback.Spielen(QString());
    t.k->shell.pass(PassEvent{});
    t.k->playback.Stoppen();
    t.k->shell.pass(PassEvent{});
    EXPECT_EQ(t.desktop.suspendHolds, (QVector<bool>{true, false, true, false}));
}
