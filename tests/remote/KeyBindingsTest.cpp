#include <gtest/gtest.h>

#include <QFileInfo>

#include "fakes/Fakes.h"

namespace {

PassEvent keyDown(int code, int window = MainWindowNo, bool repeat = false) {
    PassEvent e;
    e.kind = PassEvent::Kind::KeyDown;
    e.window = window;
    e.code = code;
    e.rawMessage = WmKeyDown;
    e.autoRepeat = repeat;
    return e;
}

PassEvent hotkey(int id, bool repeat = false) {
    PassEvent e;
    e.kind = PassEvent::Kind::Hotkey;
    e.code = id;
    e.autoRepeat = repeat;
    return e;
}

// A player on fakes with three real songs loaded and playing the first.
struct Remote : TestKalvo {
    Kalvo& kv = *k;
    QStringList songs;
    Remote() {
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
            songs << makeFile(QStringLiteral("music/") + name);
            kv.library.songList.append(SongEntry{songs.last(), 0, 1000});
        }
        media.requireFiles = true;
        view.volume = 50;
        // The fake engine's position stands still: the tick must not take
        // that for the end of the song.
        kv.settings.FortwAbspielen = 0;
        kv.playback.Spielen(QString());
    }
    void bind(int id, int key, int mod, int function) { kv.bindings.KeyBindingList.append({id, key, mod, function}); }
    // Runs a pass a second later; true when it counted as activity.
    bool press(const PassEvent& e) {
        clock.advance(1000);
        const uint32_t before = kv.shell.lastActivityTime;
        kv.shell.pass(e);
        return kv.shell.lastActivityTime != before;
    }
};

}  // namespace

TEST(KeyBindings, NamesAndLookUps) {
    EXPECT_EQ(KeyCode2Text(48), "Key48");
    EXPECT_EQ(KeyCode2Text(0), "Key0");
    EXPECT_EQ(KeyCode2Text(49), "1");
    EXPECT_EQ(KeyCode2Text(90), "Z");
    EXPECT_EQ(KeyCode2Text(123), "F12");
    EXPECT_EQ(KeyCode2Text(124), "Key124");
    EXPECT_EQ(KeyCode2Text(105), "Num9");
    EXPECT_EQ(KeyCode2Text(33), "PgUp");
    EXPECT_EQ(KeyCode2Text(20), "Caps");
    ASSERT_EQ(KeyFunctionNames().size(), 11);
    EXPECT_EQ(KeyFunctionName(6), "Stopp / Blackscreen verlassen");
    EXPECT_EQ(KeyFunctionName(10), "Lautstärke -3");
    EXPECT_EQ(KeyFunctionName(0), "");
    EXPECT_EQ(KeyFunctionName(11), "Löschen rückgängig");
    EXPECT_EQ(KeyFunctionName(12), "");

    TestKalvo t;
    KeyBindings& b = t.k->bindings;
    EXPECT_EQ(b.NewBindingId(), 1);
    b.KeyBindingList = {{1, 34, 0, 1}, {2, 33, 0, 2}, {4, 34, 2, 3}};
    EXPECT_EQ(b.NewBindingId(), 3);
    EXPECT_EQ(b.FindBindingById(-1), 3);
    EXPECT_EQ(b.FindBindingById(4), 4);
    EXPECT_EQ(b.current()->keyCode, 34);
    EXPECT_EQ(b.FindBindingById(3), 0);
    EXPECT_EQ(b.current(), nullptr);
    // The first binding with the code wins, whatever its modifiers.
    EXPECT_EQ(b.FindBindingByKey(34), 1);
    EXPECT_EQ(b.current()->function, 1);
    EXPECT_EQ(b.FindBindingByKey(35), 0);
}

TEST(KeyBindings, EveryFunctionRunsFromItsKeyAndCountsAsActivity) {
    Remote r;
    r.bind(1, 40, 0, FnNextSong);
    r.bind(2, 38, 0, FnPrevSong);
    r.bind(3, 39, 0, FnJumpForward);
    r.bind(4, 37, 0, FnJumpBack);
    r.bind(5, 107, 0, FnVolumeUp10);
    r.bind(6, 109, 0, FnVolumeDown10);
    r.bind(7, 33, 0, FnVolumeUp3);
    r.bind(8, 34, 0, FnVolumeDown3);
    r.bind(9, 78, 3, FnStopLeaveBlackscreen);  // a hotkey fires as a plain key too
    r.bind(10, 65, 0, 0);                        // no function chosen
    r.bind(11, 66, 0, 12);                       // a number no function has

    EXPECT_TRUE(r.press(keyDown(40)));
    EXPECT_EQ(r.media.loadedPath, r.songs[1]);
    EXPECT_TRUE(r.press(keyDown(40, BlackWindowNo)));
    EXPECT_EQ(r.media.loadedPath, r.songs[2]);
    EXPECT_TRUE(r.press(keyDown(38)));
    EXPECT_EQ(r.media.loadedPath, r.songs[1]);
    r.media.pos = 400000000;  // 40 s into the song
    EXPECT_TRUE(r.press(keyDown(39)));
    EXPECT_EQ(r.media.pos, 700000000);
    EXPECT_TRUE(r.press(keyDown(37)));
    EXPECT_EQ(r.media.pos, 400000000);
    EXPECT_TRUE(r.press(keyDown(107)));
    EXPECT_EQ(r.view.volume, 60);
    EXPECT_TRUE(r.press(keyDown(109)));
    EXPECT_TRUE(r.press(keyDown(109)));
    EXPECT_EQ(r.view.volume, 40);
    EXPECT_TRUE(r.press(keyDown(33)));
    EXPECT_EQ(r.view.volume, 43);
    EXPECT_TRUE(r.press(keyDown(34, MainWindowNo, true)));  // auto-repeat repeats
    EXPECT_TRUE(r.press(keyDown(34, MainWindowNo, true)));
    EXPECT_EQ(r.view.volume, 37);

    // Keys that run nothing are no activity: no binding, no function, an
    // unknown function, another window's key.
    const QStringList before = r.media.calls;
    EXPECT_FALSE(r.press(keyDown(41)));
    EXPECT_FALSE(r.press(keyDown(65)));
    EXPECT_FALSE(r.press(keyDown(66)));
    EXPECT_FALSE(r.press(keyDown(40, SongSelectionNo)));
    EXPECT_FALSE(r.press(keyDown(40, KeyConfigNo)));
    EXPECT_EQ(r.media.calls, before);
    EXPECT_EQ(r.view.volume, 37);

    // The hotkey id names its binding; the plain key of it fires too.
    EXPECT_TRUE(r.press(hotkey(9)));
    EXPECT_TRUE(r.kv.playback.currentSong.isEmpty());
    EXPECT_TRUE(r.press(keyDown(40)));
    EXPECT_TRUE(r.press(keyDown(78)));
    EXPECT_TRUE(r.kv.playback.currentSong.isEmpty());
    // Ids no binding owns (a deleted hotkey) do nothing.
    EXPECT_TRUE(r.press(hotkey(5)));
    EXPECT_FALSE(r.press(hotkey(99)));
    EXPECT_FALSE(r.press(hotkey(-1)));
    EXPECT_FALSE(r.press(hotkey(0)));
}

// Held down, the delete key deletes once: auto-repeat must not empty the
// list into the trash. Each fresh press deletes one song.
TEST(KeyBindings, HeldDeleteKeyDeletesOnlyOnce) {
    Remote r;
    r.bind(1, 46, 0, FnDeleteSong);
    r.bind(2, 68, 4, FnDeleteSong);
    EXPECT_TRUE(r.press(keyDown(46)));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(r.press(keyDown(46, MainWindowNo, true)));
    EXPECT_FALSE(r.press(hotkey(2, true)));
    EXPECT_EQ(r.kv.library.songList.size(), 3);
    EXPECT_FALSE(QFileInfo::exists(r.songs[0]));
    EXPECT_TRUE(QFileInfo::exists(r.songs[1]));
    EXPECT_TRUE(r.press(hotkey(2)));
    EXPECT_EQ(r.kv.library.songList.size(), 2);

    // The undo key brings back one delete per fresh press, newest first.
    r.bind(3, 85, 0, FnUndoDelete);
    EXPECT_TRUE(r.press(keyDown(85)));
    EXPECT_FALSE(r.press(keyDown(85, MainWindowNo, true)));
    EXPECT_EQ(r.kv.library.songList.size(), 3);
    EXPECT_TRUE(QFileInfo::exists(r.songs[1]));
    EXPECT_FALSE(QFileInfo::exists(r.songs[0]));
    EXPECT_TRUE(r.press(keyDown(85)));
    EXPECT_TRUE(QFileInfo::exists(r.songs[0]));
}

TEST(KeyBindings, HotkeysAreRegisteredWithdrawnAndReported) {
    TestKalvo t;
    KeyBindings& b = t.k->bindings;
    b.KeyBindingList = {{1, 40, 0, 1}, {2, 78, 3, 1}, {3, 77, 6, 2}, {4, 76, 4, 5}};
    t.desktop.refusedIds = {2, 4};
    b.RegisterHotkeys();
    EXPECT_EQ(t.desktop.calls, (QStringList{"unregister 2", "register 2 3 78", "unregister 3", "register 3 6 77",
                                            "unregister 4", "register 4 4 76"}));
    EXPECT_EQ(t.logLines(), (QStringList{"RegisterHotkeys: system-wide hotkeys through X11 key grabs (desktop shortcuts: not offered)",
                                         "HotkeyID FAIL=2  Key:78  Mod:3", "HotkeyID FAIL=4  Key:76  Mod:4"}));
    ASSERT_EQ(t.messages.shown.size(), 2);
    EXPECT_EQ(t.messages.shown[0].text,
              "HotkeyID FAIL=2  Key:78  Mod:3\r\n\r\nEvtl. wurde der Hotkey schon im System zugewiesen \r\n"
              "- versuchen Sie eine andere Kombination!");
    EXPECT_TRUE(t.messages.shown[1].text.startsWith("HotkeyID FAIL=4  Key:76  Mod:4\r\n"));
    EXPECT_EQ(t.desktop.registered, QVector<int>{3});

    // A changed key is registered afresh under the same id; a binding that
    // lost its modifiers or was deleted gives its combination back at once.
    t.desktop.calls.clear();
    t.desktop.refusedIds.clear();
    b.KeyBindingList = {{1, 40, 0, 1}, {3, 75, 6, 2}, {4, 76, 0, 5}};
    b.RegisterHotkeys();
    EXPECT_EQ(t.desktop.calls, (QStringList{"unregister 3", "unregister 3", "register 3 6 75"}));
    EXPECT_EQ(t.desktop.registered, QVector<int>{3});
    b.KeyBindingList.clear();
    b.RegisterHotkeys();
    EXPECT_TRUE(t.desktop.registered.isEmpty());

    // The configuration window gives every grab back while it is open.
    b.KeyBindingList = {{1, 40, 2, 1}, {2, 41, 1, 1}};
    b.RegisterHotkeys();
    EXPECT_EQ(t.desktop.registered.size(), 2);
    b.UnregisterHotkeys();
    EXPECT_TRUE(t.desktop.registered.isEmpty());
}

TEST(KeyBindings, WithoutSystemHotkeysOneLogLineAndNoMessages) {
    TestKalvo t;
    t.desktop.hotkeys = false;
    t.desktop.error = "no X11 display";
    KeyBindings& b = t.k->bindings;
    b.KeyBindingList = {{1, 40, 0, 1}};
    b.RegisterHotkeys();
    EXPECT_TRUE(t.logLines().isEmpty());  // nothing asked for a hotkey yet
    b.KeyBindingList = {{1, 40, 2, 1}, {2, 41, 1, 1}};
    b.RegisterHotkeys();
    b.RegisterHotkeys();
    EXPECT_EQ(t.logLines(), QStringList{"RegisterHotkeys: system-wide hotkeys are not available: no X11 display "
                                        "(desktop shortcuts: not offered)"});
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(t.desktop.calls.isEmpty());
}

// A combination is the binding's only when key and modifiers both match and
// the binding has a function: a plain binding or another modifier leaves the
// combination to the window (a menu letter).
TEST(KeyBindings, CombinationsNamedExactlyByABinding) {
    TestKalvo t;
    KeyBindings& b = t.k->bindings;
    b.KeyBindingList = {{1, 'D', 0, FnNextSong}, {2, 'E', ModAlt, FnVolumeUp3}, {3, 'L', ModAlt, 0},
                        {4, 'X', ModAlt | ModCtrl, FnPrevSong}};
    EXPECT_FALSE(b.BindsCombination('D', ModAlt));
    EXPECT_FALSE(b.BindsCombination('D', 0));
    EXPECT_TRUE(b.BindsCombination('E', ModAlt));
    EXPECT_FALSE(b.BindsCombination('E', ModAlt | ModShift));
    EXPECT_FALSE(b.BindsCombination('L', ModAlt));  // no function chosen
    EXPECT_TRUE(b.BindsCombination('X', ModAlt | ModCtrl));
    EXPECT_FALSE(b.BindsCombination('X', ModAlt));
}
