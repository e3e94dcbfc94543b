#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "base/PassEvent.h"
#include "fakes/Fakes.h"
#include "library/ListPanel.h"

namespace {

class FakePanelView : public ListPanelView {
public:
    QString caption = QStringLiteral(">");
    int width = 400;
    QString directory;
    QStringList names;
    QString selected;
    bool focus = false;
    int focusMoves = 0;
    void setToggleCaption(const QString& c) override { caption = c; }
    void setInnerWidth(int w) override { width = w; }
    void showListFiles(const QString& d, const QStringList& n) override { directory = d; names = n; }
    QString selectedName() const override { return selected; }
    bool listHasFocus() const override { return focus; }
    void focusListName() override { ++focusMoves; focus = false; }
};

class ListPanelTest : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    FakePanelView view;
    ListPanel panel{k, view};
    QString lists = t.path(QStringLiteral("Listen/"));
    QString music = t.path(QStringLiteral("Musik/"));

    void SetUp() override {
        k.shell.mainBaseWidth = 400;
        t.makeFile(QStringLiteral("Musik/a.mp3"), 100);
        write("Rock.txt", "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 30\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
        write("Jazz.TXT", "\xEF\xBB\xBF\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
        write("leer.txt", "");
        write("notiz.txt", "Einkaufen: Milch, Brot\r\n");
        write("binär.txt", QByteArray("\x00\xFF\xFE\x01[\x80\x81", 8));
        write("keine-liste.m3u", "#EXTM3U\r\n");
        QDir().mkpath(lists + "Ordner.txt");
        k.library.ListeLaden(lists + "Rock.txt");
        t.messages.shown.clear();
    }
    void write(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(lists);
        QFile f(lists + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

}  // namespace

// The panel widens the window by 210 and narrows it back to the base width
// exactly; opening lists the "*.txt" files (any case, no folders) beside the
// current list.
TEST_F(ListPanelTest, ToggleWidensNarrowsAndListsTheListFiles) {
    k.shell.mainBaseWidth = 403;
    panel.ListenPanelUmschalten();
    EXPECT_TRUE(panel.isOpen());
    EXPECT_EQ(view.caption, "<");
    EXPECT_EQ(view.width, 613);
    EXPECT_EQ(view.directory, lists);
    EXPECT_EQ(view.names, (QStringList{"binär.txt", "Jazz.TXT", "leer.txt", "notiz.txt", "Rock.txt"}));
    panel.ListenPanelUmschalten();
    EXPECT_FALSE(panel.isOpen());
    EXPECT_EQ(view.caption, ">");
    EXPECT_EQ(view.width, 403);

    // A list folder that has gone shows an empty panel.
    k.library.listFileName = t.path("weg/Liste.txt");
    panel.ListenPanelUmschalten();
    EXPECT_TRUE(view.names.isEmpty());
    EXPECT_EQ(listDirectoryOf(QStringLiteral("/a/b.txt")), "/a/");
    EXPECT_EQ(listDirectoryOf(QStringLiteral("/a/")), "/a/");
}

// A double-click loads the selected list; without a selection nothing is
// loaded. Every event moves the focus off the panel list; only double- and
// right-clicks count as handled.
TEST_F(ListPanelTest, DoubleClickLoadsTheSelectedListAndTheFocusLeaves) {
    view.focus = true;
    EXPECT_FALSE(panel.ListenPanelEreignis(SubClick));
    EXPECT_EQ(view.focusMoves, 1);
    EXPECT_TRUE(panel.ListenPanelEreignis(SubDoubleClick));  // nothing selected
    EXPECT_EQ(k.library.listFileName, lists + "Rock.txt");

    view.selected = QStringLiteral("Jazz.TXT");
    view.focus = true;
    EXPECT_TRUE(panel.ListenPanelEreignis(SubDoubleClick));
    EXPECT_EQ(view.focusMoves, 2);
    EXPECT_EQ(k.library.listFileName, lists + "Jazz.TXT");
    EXPECT_EQ(k.settings.LetzteListenDatei, lists + "Jazz.TXT");
    EXPECT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.playback.volume, 50);

    // An empty file is an empty list and loads.
    view.selected = QStringLiteral("leer.txt");
    panel.ListenPanelEreignis(SubDoubleClick);
    EXPECT_EQ(k.library.listFileName, lists + "leer.txt");
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

// A text file that is no list, or a binary one, is not loaded: the current
// list stays current and nothing can overwrite the file later.
TEST_F(ListPanelTest, FilesThatAreNoListAreNotLoaded) {
    for (const QString& name : {QStringLiteral("notiz.txt"), QStringLiteral("binär.txt")}) {
        view.selected = name;
        EXPECT_TRUE(panel.ListenPanelEreignis(SubDoubleClick));
        EXPECT_EQ(k.library.listFileName, lists + "Rock.txt");
        EXPECT_EQ(k.library.songList.size(), 1);
        ASSERT_FALSE(t.messages.shown.isEmpty());
        EXPECT_EQ(t.messages.shown.last().text, "Keine Kalvo-Liste - nicht geladen: " + lists + name);
    }
    k.library.ListeSpeichern(false);
    QFile notiz(lists + "notiz.txt");
    ASSERT_TRUE(notiz.open(QIODevice::ReadOnly));
    EXPECT_EQ(notiz.readAll(), "Einkaufen: Milch, Brot\r\n");
}

// A right-click asks first; No keeps everything; deleting another list
// leaves playback and the lists alone.
TEST_F(ListPanelTest, RightClickDeletesAnotherListAfterTheQuestion) {
    k.playback.Spielen(QString());
    ASSERT_FALSE(k.playback.currentSong.isEmpty());
    view.selected = QStringLiteral("Jazz.TXT");
    EXPECT_TRUE(panel.ListenPanelEreignis(SubRightClick));  // answered No
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Löschen?\r\n\r\n" + lists + "Jazz.TXT");
    EXPECT_TRUE(t.messages.shown[0].ask);
    EXPECT_TRUE(QFile::exists(lists + "Jazz.TXT"));

    t.messages.answers = {true};
    panel.ListenPanelEreignis(SubRightClick);
    EXPECT_FALSE(QFile::exists(lists + "Jazz.TXT"));
    EXPECT_FALSE(view.names.contains("Jazz.TXT"));
    EXPECT_FALSE(k.playback.currentSong.isEmpty());
    EXPECT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.library.listFileName, lists + "Rock.txt");
}

// Deleting the current list stops playback, empties both lists and the
// fields, and leaves the list directory as the list name, so neither the
// quiet save of the stop nor the save at exit re-creates the file. A file
// that cannot be deleted stays; the lists are emptied all the same.
TEST_F(ListPanelTest, DeletingTheCurrentListEmptiesAndNothingRecreatesIt) {
    k.playback.Spielen(QString());
    t.clock.local += 1000;  // a quiet save is due at the stop
    view.selected = QStringLiteral("Rock.txt");
    t.messages.answers = {true};
    EXPECT_TRUE(panel.ListenPanelEreignis(SubRightClick));
    EXPECT_FALSE(QFile::exists(lists + "Rock.txt"));
    EXPECT_TRUE(k.playback.currentSong.isEmpty());
    EXPECT_TRUE(k.library.pathList.isEmpty());
    EXPECT_TRUE(k.library.songList.isEmpty());
    EXPECT_EQ(k.library.listFileName, lists);
    EXPECT_EQ(k.settings.LetzteListenDatei, lists);
    EXPECT_TRUE(t.view.listName.isEmpty());
    EXPECT_TRUE(t.view.song.isEmpty());
    k.shell.SaveAtExit();
    EXPECT_FALSE(QFile::exists(lists + "Rock.txt"));

    // Refused by the disk: the file stays, the lists are emptied anyway.
    k.library.ListeLaden(lists + "leer.txt");
    k.library.pathList.append(music);
    t.files.removeRefused << lists + "leer.txt";
    view.selected = QStringLiteral("leer.txt");
    t.messages.answers = {true};
    panel.ListenPanelEreignis(SubRightClick);
    EXPECT_TRUE(QFile::exists(lists + "leer.txt"));
    EXPECT_TRUE(k.library.pathList.isEmpty());
    EXPECT_EQ(k.library.listFileName, lists);
    EXPECT_TRUE(t.logLines().contains("_ListenPanelEreignis: kann Liste nicht löschen: " + lists + "leer.txt"));
}

// An open panel follows the current list: a list saved under a new name
// shows up at once, and a list loaded from another folder brings that
// folder's lists. A closed panel is not filled behind the user's back.
TEST_F(ListPanelTest, AnOpenPanelShowsASavedListAndFollowsALoadedOne) {
    t.windows.listPanel = &panel;
    panel.ListenPanelUmschalten();
    ASSERT_FALSE(view.names.contains("Neu.txt"));

    t.fileDialogs.answer = lists + "Neu";
    k.library.ListeSpeichernUnter(false);
    EXPECT_EQ(k.library.listFileName, lists + "Neu.txt");
    EXPECT_TRUE(view.names.contains("Neu.txt")) << view.names.join(", ").toStdString();

    const QString other = t.path(QStringLiteral("Andere/"));
    QDir().mkpath(other);
    QFile::copy(lists + "Rock.txt", other + "Pop.txt");
    t.fileDialogs.answer = other + "Pop.txt";
    k.library.ListeOeffnen();
    EXPECT_EQ(view.directory, other);
    EXPECT_EQ(view.names, QStringList{"Pop.txt"});

    panel.ListenPanelUmschalten();  // closed
    view.names.clear();
    t.fileDialogs.answer = other + "Soul";
    k.library.ListeSpeichernUnter(false);
    EXPECT_TRUE(view.names.isEmpty());
}
