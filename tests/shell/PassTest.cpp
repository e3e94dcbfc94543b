#include <gtest/gtest.h>

#include "fakes/Fakes.h"

namespace {

PassEvent menu(int item) {
    PassEvent e;
    e.kind = PassEvent::Kind::Menu;
    e.window = MainWindowNo;
    e.item = item;
    return e;
}

PassEvent control(int item, int window = MainWindowNo, int subType = SubClick) {
    PassEvent e;
    e.kind = PassEvent::Kind::Control;
    e.window = window;
    e.item = item;
    e.subType = subType;
    return e;
}

PassEvent closeOf(int window) {
    PassEvent e;
    e.kind = PassEvent::Kind::Close;
    e.window = window;
    return e;
}

// Runs one pass after the clock moved on, and tells whether it counted as
// user activity.
bool activityAfter(TestKalvo& t, const PassEvent& e) {
    t.clock.advance(1000);
    const uint32_t before = t.k->shell.lastActivityTime;
    t.k->shell.pass(e);
    return t.k->shell.lastActivityTime != before;
}

class PanelWindows : public FakeWindows {
public:
    bool acts = false;
    QVector<int> panelEvents;
    int toggles = 0;
    bool listPanelEvent(int subType) override { panelEvents << subType; return acts; }
    void toggleListPanel() override { ++toggles; }
};

struct PanelKalvo : TestKalvo {
    PanelWindows panel;
    PanelKalvo() {
        useWindows(panel);
    }
};

}  // namespace

TEST(Pass, MenuItemsReachTheirSubsystemsAndCountAsActivity) {
    TestKalvo t;
    EXPECT_TRUE(activityAfter(t, menu(MenuTrashOpen)));
    EXPECT_EQ(t.desktop.opened, QStringList{t.k->shell.TrashFolder});

    EXPECT_TRUE(activityAfter(t, menu(MenuRestore)));
    EXPECT_TRUE(activityAfter(t, menu(MenuListEdit)));
    EXPECT_TRUE(activityAfter(t, menu(MenuKeyConfig)));
    EXPECT_TRUE(activityAfter(t, menu(MenuInfo)));
    EXPECT_EQ(t.windows.opened, (QStringList{"restore", "listedit", "keyconfig", "info"}));

    EXPECT_TRUE(activityAfter(t, menu(MenuListOpen)));
    EXPECT_TRUE(activityAfter(t, menu(MenuListSaveAs)));
    EXPECT_TRUE(activityAfter(t, menu(MenuListNew)));
    EXPECT_EQ(t.fileDialogs.titles.size(), 3);  // one file dialog each, all cancelled

    EXPECT_TRUE(activityAfter(t, menu(MenuNewRandom)));
    ASSERT_EQ(t.messages.shown.size(), 1);  // the confirmation, answered No
    EXPECT_TRUE(t.messages.shown[0].ask);

    // Nothing deleted in this run: the undo only beeps.
    EXPECT_TRUE(activityAfter(t, menu(MenuUndoDelete)));
    EXPECT_EQ(t.messages.asteriskBeeps, 1);
    EXPECT_EQ(t.messages.shown.size(), 1);

    EXPECT_FALSE(t.k->shell.quitRequested);
}

TEST(Pass, QuitEndsOnlyAfterTheRestOfThePass) {
    TestKalvo t;
    t.clock.advance(500);
    t.k->shell.pass(menu(MenuQuit));
    EXPECT_TRUE(t.k->shell.quitRequested);
    // The tick of the same pass still ran.
    EXPECT_EQ(t.k->tick.lastTickTime, t.clock.tick);
}

TEST(Pass, ClosingTheMainWindowClosesTheSongSelectionAndQuits) {
    TestKalvo t;
    t.windows.selectionOpen = true;
    t.k->shell.pass(closeOf(SongSelectionNo));
    EXPECT_FALSE(t.windows.selectionOpen);
    EXPECT_FALSE(t.k->shell.quitRequested);

    t.windows.selectionOpen = true;
    t.k->shell.pass(closeOf(MainWindowNo));
    EXPECT_FALSE(t.windows.selectionOpen);
    EXPECT_TRUE(t.k->shell.quitRequested);
}

TEST(Pass, ControlActivityRules) {
    PanelKalvo t;
    // Labels and read-only fields do nothing and are no activity.
    for (int item : {CtlListLabel, CtlListName, CtlPath, CtlSong, CtlCounter, CtlTime, CtlPosition,
                     CtlVolumeLabel, CtlSnoozeLabel})
        EXPECT_FALSE(activityAfter(t, control(item))) << item;

    // The panel list counts only when the panel acted.
    EXPECT_FALSE(activityAfter(t, control(CtlPanelList, MainWindowNo, SubClick)));
    t.panel.acts = true;
    EXPECT_TRUE(activityAfter(t, control(CtlPanelList, MainWindowNo, SubDoubleClick)));
    // "Del" deletes the selected list as a right-click on the panel list does.
    EXPECT_TRUE(activityAfter(t, control(CtlPanelDel)));
    EXPECT_EQ(t.panel.panelEvents, (QVector<int>{SubClick, SubDoubleClick, SubRightClick}));

    EXPECT_TRUE(activityAfter(t, control(CtlPanelToggle)));
    EXPECT_EQ(t.panel.toggles, 1);

    t.view.path = QStringLiteral("/music/a");
    EXPECT_TRUE(activityAfter(t, control(CtlPathButton)));
    EXPECT_EQ(t.desktop.opened, QStringList{"/music/a"});

    EXPECT_TRUE(activityAfter(t, control(CtlSongButton)));
    EXPECT_EQ(t.panel.opened, QStringList{"selection"});

    // Song selection window controls, and a control number of the main
    // window arriving from another window does nothing.
    // The window opened and filled once; "Aktualisieren" fills again, "Finde:"
    // with the search text, a double-click on the list plays.
    t.k->library.songList.append(SongEntry{"/m/Finde mich.mp3", 1, 100});
    t.k->library.songList.append(SongEntry{"/m/b.mp3", 2, 100});
    EXPECT_EQ(t.panel.fills, 1);
    EXPECT_TRUE(activityAfter(t, control(CtlSelRefresh, SongSelectionNo)));
    EXPECT_EQ(t.panel.rows.size(), 2);
    t.panel.searchText = "FINDE";
    EXPECT_TRUE(activityAfter(t, control(CtlSelFind, SongSelectionNo)));
    EXPECT_EQ(t.panel.rows, QVector<QString>{"/m/Finde mich.mp3"});
    t.panel.selectedRow = 0;
    EXPECT_TRUE(activityAfter(t, control(CtlSelList, SongSelectionNo, SubDoubleClick)));
    EXPECT_EQ(t.media.loadedPath, "/m/Finde mich.mp3");
    EXPECT_FALSE(activityAfter(t, control(CtlPathButton, SongSelectionNo)));
    EXPECT_EQ(t.desktop.opened.size(), 1);
}

TEST(Pass, OptionControlsStoreTheirSettings) {
    TestKalvo t;
    Settings& s = t.k->settings;
    t.view.snooze = QStringLiteral("15");
    EXPECT_TRUE(activityAfter(t, control(CtlSnooze, MainWindowNo, SubChange)));
    EXPECT_EQ(s.Snooze, 15);
    t.view.snooze.clear();
    t.k->shell.pass(control(CtlSnooze, MainWindowNo, SubChange));
    EXPECT_EQ(s.Snooze, 0);

    t.view.wecken = true;
    t.view.hour = 6;
    t.view.minute = 45;
    t.k->shell.pass(control(CtlWecken));
    t.k->shell.pass(control(CtlWeckenH, MainWindowNo, SubChange));
    EXPECT_TRUE(activityAfter(t, control(CtlWeckenM, MainWindowNo, SubChange)));
    EXPECT_EQ(s.GWecken, 1);
    EXPECT_EQ(s.GWeckenH, 6);
    EXPECT_EQ(s.GWeckenM, 45);

    t.view.fortf = false;
    EXPECT_TRUE(activityAfter(t, control(CtlFortf)));
    EXPECT_EQ(s.FortwAbspielen, 0);
}

TEST(Pass, TransportControlsReachPlayback) {
    TestKalvo t;
    t.makeFile("music/a.mp3");
    t.makeFile("music/b.mp3");
    t.k->library.ListePfadeScannen(t.path("music"));
    t.k->library.ListeAbgleichen();
    ASSERT_GE(t.k->library.songList.size(), 2);

    EXPECT_TRUE(activityAfter(t, control(CtlPlay)));
    EXPECT_FALSE(t.k->playback.currentSong.isEmpty());
    EXPECT_TRUE(activityAfter(t, control(CtlStop)));
    EXPECT_TRUE(t.media.calls.contains("stop"));
    t.view.volume = 30;
    EXPECT_TRUE(activityAfter(t, control(CtlVolume, MainWindowNo, SubChange)));
    EXPECT_EQ(t.k->playback.volume, 30);
}

TEST(Pass, NothingHappensWhileAMessageBoxIsOpen) {
    // A message box whose own loop delivers events to the pass.
    struct LoopingMessages : FakeMessages {
        Kalvo* k = nullptr;
        bool showMessage(const QString& text, bool ask) override {
            k->shell.pass(menu(MenuQuit));
            k->shell.pass(menu(MenuInfo));
            return FakeMessages::showMessage(text, ask);
        }
    };
    TestKalvo t;
    LoopingMessages box;
    Services s{t.view, box, t.clock, t.desktop, t.files, t.random, t.progress, t.fileDialogs, t.windows,
               t.media, t.modules, t.sounds};
    Kalvo k(s);
    box.k = &k;

    t.clock.advance(1000);
    k.shell.ShowMessage(QStringLiteral("Hallo"));
    EXPECT_FALSE(k.shell.quitRequested);
    EXPECT_TRUE(t.windows.opened.isEmpty());
    EXPECT_EQ(k.tick.lastTickTime, 0u);
    EXPECT_FALSE(k.shell.suspended());

    // A message shown by a pass does not let a second pass run inside it.
    k.shell.pass(menu(MenuNewRandom));
    EXPECT_FALSE(k.shell.quitRequested);
    EXPECT_TRUE(t.windows.opened.isEmpty());
    EXPECT_FALSE(k.shell.suspended());
}

TEST(Pass, TimeoutRunsTheTickEveryPass) {
    TestKalvo t;
    for (int i = 0; i < 5; ++i) {
        t.clock.advance(105);
        t.k->shell.pass(PassEvent{});
        EXPECT_EQ(t.k->tick.lastTickTime, t.clock.tick);
    }
    EXPECT_EQ(t.k->shell.lastActivityTime, 0u);
}

// Opening the trash folder or the song's folder tells the user when no file
// manager takes it: at once when nothing could start, later when the opener
// reports it found no program. The log keeps the reason.
TEST(Pass, AFolderThatCannotBeOpenedIsToldAndLogged) {
    TestKalvo t;
    t.k->shell.pass(menu(MenuTrashOpen));
    EXPECT_TRUE(t.messages.shown.isEmpty());

    t.desktop.openFails = true;
    t.desktop.error = QStringLiteral("kein Dateimanager gefunden");
    t.k->shell.pass(menu(MenuTrashOpen));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, QStringLiteral("Fehler - Kann Ordner nicht öffnen: ") +
                                            t.desktop.opened.last() +
                                            QStringLiteral("\r\nIst ein Dateimanager installiert?"));
    EXPECT_TRUE(t.logLines().join('\n').contains(QStringLiteral("kein Dateimanager gefunden")));

    t.desktop.openFails = false;
    t.desktop.laterFailure = QStringLiteral("xdg-open: kein Programm für Ordner gefunden");
    t.k->shell.pass(control(CtlPathButton));
    ASSERT_EQ(t.messages.shown.size(), 2);
    EXPECT_TRUE(t.messages.shown[1].text.startsWith(QStringLiteral("Fehler - Kann Ordner nicht öffnen: ")));
    EXPECT_TRUE(t.logLines().join('\n').contains(t.desktop.laterFailure));
}
