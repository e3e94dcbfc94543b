#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "dialogs/QtApp.h"
#include "dialogs/QtWindows.h"
#include "dialogs/SongSelectionWindow.h"
#include "fakes/Fakes.h"

namespace {

// A player on fakes whose windows are the real Qt windows; their events run
// the pass as in the program.
struct QtKalvo : TestKalvo {
    QtWindows qtWindows{nullptr};
    QtKalvo() {
        qtApp();
        useWindows(qtWindows);
        qtWindows.attach(*k);
        qtWindows.setEventSink([this](const PassEvent& e) { k->shell.pass(e); });
    }
};

class SongSelectionWindowTest : public ::testing::Test {
protected:
    QtKalvo t;
    Kalvo& k = *t.k;

    void add(const QString& path, int32_t presence = 100) { k.library.songList.append(SongEntry{path, 1, presence}); }
    SongSelectionWindow* open() {
        PassEvent e;
        e.kind = PassEvent::Kind::Control;
        e.window = MainWindowNo;
        e.item = CtlSongButton;
        k.shell.pass(e);
        SongSelectionWindow* w = t.qtWindows.songSelectionWindow();
        if (w) QCoreApplication::processEvents();
        return w;
    }
    static QStringList shown(SongSelectionWindow* w) {
        QStringList rows;
        for (int i = 0; i < w->model.rowCount(); ++i) rows << w->model.index(i).data().toString();
        return rows;
    }
    static int selected(SongSelectionWindow* w) {
        const QModelIndexList s = w->list->selectionModel()->selectedIndexes();
        return s.isEmpty() ? -1 : s.first().row();
    }
};

}  // namespace

TEST_F(SongSelectionWindowTest, OpensAtTheStoredPlaceAndStoresWhereItWasLeft) {
    k.settings.WinXLied = 200;
    k.settings.WinYLied = 300;
    k.settings.WinXDLied = 500;
    k.settings.WinYDLied = 400;
    SongSelectionWindow* w = open();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Lied auswählen");
    EXPECT_EQ(w->pos(), QPoint(200, 300));
    EXPECT_EQ(w->size(), QSize(500, 400));
    // Only the list follows the window's right and bottom edges.
    EXPECT_EQ(w->list->geometry(), QRect(5, 30, 490, 365));
    EXPECT_EQ(w->find->geometry(), QRect(305, 5, 45, 20));
    EXPECT_EQ(w->search->geometry(), QRect(350, 5, 105, 20));

    w->move(250, 320);
    w->resize(520, 410);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->list->geometry(), QRect(5, 30, 510, 375));
    EXPECT_EQ(w->refresh->geometry(), QRect(5, 5, 80, 20));

    w->close();  // the close box
    EXPECT_FALSE(t.qtWindows.songSelectionOpen());
    EXPECT_EQ(k.settings.WinXLied, 250);
    EXPECT_EQ(k.settings.WinYLied, 320);
    EXPECT_EQ(k.settings.WinXDLied, 520);
    EXPECT_EQ(k.settings.WinYDLied, 410);

    // Reopened where it was left; made smaller than designed it snaps back.
    w = open();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->pos(), QPoint(250, 320));
    EXPECT_EQ(w->size(), QSize(520, 410));
    w->resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(460, 300));
    EXPECT_EQ(w->list->geometry(), QRect(5, 30, 450, 265));
    EXPECT_TRUE(w->isEnabled());
}

TEST_F(SongSelectionWindowTest, CaptionsFitAndTheListScrollsToTheEndOfTheLongestPath) {
    const QString longPath = "/home/musik/" + QString("Ein sehr langer Ordnername/").repeated(6) + "Lied.mp3";
    add("/m/a.mp3");
    add(longPath);
    SongSelectionWindow* w = open();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->refresh->text(), "Aktualisieren");
    EXPECT_EQ(w->hint->text(), "Lied doppeklicken um es zu spielen.");
    EXPECT_EQ(w->find->text(), "Finde:");
    EXPECT_EQ(w->hint->geometry(), QRect(90, 10, 195, 15));
    EXPECT_LE(QFontMetrics(w->hint->font()).horizontalAdvance(w->hint->text()), 195);
    for (QPushButton* b : {w->refresh, w->find})
        EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width() - 6) << b->text().toStdString();

    EXPECT_EQ(shown(w), (QStringList{"/m/a.mp3", longPath}));
    QScrollBar* h = w->list->horizontalScrollBar();
    EXPECT_GE(h->maximum() + w->list->viewport()->width(),
              QFontMetrics(w->list->font()).horizontalAdvance(longPath));
    w->grab().save(QStringLiteral(KALVO_BINARY_DIR "/song-selection.png"));
}

TEST_F(SongSelectionWindowTest, FindDoubleClickAndTheSelectionFollowingPlayback) {
    add("/m/Jazz/eins.mp3");  // in path order
    add("/m/Rock/drei.mp3", -1);  // absent
    add("/m/rock/vier.mp3");
    add("/m/Rock/zwei.mp3");
    SongSelectionWindow* w = open();
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(shown(w).size(), 3);
    EXPECT_EQ(selected(w), -1);

    QTest::keyClicks(w->search, "ROCK");
    QTest::mouseClick(w->find, Qt::LeftButton);
    EXPECT_EQ(shown(w), (QStringList{"/m/rock/vier.mp3", "/m/Rock/zwei.mp3"}));

    // A double-click plays the row; the list then selects it and has the focus.
    const QRect second = w->list->visualRect(w->model.index(1));
    QTest::mouseClick(w->list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(w->list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(t.media.loadedPath, "/m/Rock/zwei.mp3");
    EXPECT_EQ(k.playback.lastSongPath, "/m/Rock/zwei.mp3");
    EXPECT_EQ(selected(w), 1);
    EXPECT_EQ(w->focusWidget(), w->list);

    // A song started elsewhere moves the selection; one the list does not show clears it.
    ASSERT_TRUE(k.playback.Spielen("/m/rock/vier.mp3"));
    EXPECT_EQ(selected(w), 0);
    ASSERT_TRUE(k.playback.Spielen("/m/Jazz/eins.mp3"));
    EXPECT_EQ(selected(w), -1);

    // Enter in the search field finds; "Aktualisieren" shows all again.
    w->search->clear();
    QTest::keyClicks(w->search, "jazz");
    QTest::keyClick(w->search, Qt::Key_Return);
    EXPECT_EQ(shown(w), QStringList{"/m/Jazz/eins.mp3"});
    EXPECT_EQ(selected(w), 0);
    QTest::mouseClick(w->refresh, Qt::LeftButton);
    EXPECT_EQ(shown(w).size(), 3);
}
