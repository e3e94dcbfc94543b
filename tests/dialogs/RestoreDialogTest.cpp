#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "dialogs/RestoreDialog.h"
#include "fixtures/TrashFixture.h"

namespace {

void ensureApp() {
    static int argc = 1;
    static char name[] = "test_dialogs";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

class RestoreDialogTest : public TrashFixture {
protected:
    const int32_t ten = 1796637600;  // 07.12.26 10:00:00
    QString a, b;
    void SetUp() override {
        ensureApp();
        a = addSong("A.mp3", 30);
        b = addSong("B.mp3", 10);
        k().library.pathList.append(music() + "/");
        QFile::rename(a, trash() + "A.mp3");
        QFile::rename(b, trash() + "B.mp3");
        k().library.songList.clear();
        k().trash.TrashList = {TrashEntry{ten, 30, a, trash() + "A.mp3"},
                               TrashEntry{ten + 300, 10, b, trash() + "B.mp3"}};
        trashed("C.mp3", ten + 600, 20, "");
    }
    static QStringList row(QTreeWidget* l, int i) {
        return {l->topLevelItem(i)->text(0), l->topLevelItem(i)->text(1)};
    }
    static void doubleClick(QTreeWidget* l, int i) {
        const QRect r = l->visualItemRect(l->topLevelItem(i));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, r.center());
    }
};

TEST_F(RestoreDialogTest, ListsTheTrashNewestFirstWithTheGadgetsInPlace) {
    k().settings.TrashMax = 25;
    RestoreDialog d(k(), nullptr);
    d.show();
    EXPECT_EQ(d.windowTitle(), "Kalvo2 Dateien wiederherstellen");
    EXPECT_EQ(d.size(), QSize(800, 400));
    ASSERT_EQ(d.list->topLevelItemCount(), 3);
    EXPECT_EQ(row(d.list, 0), (QStringList{"07.12.26   10:10:00", ""}));
    EXPECT_EQ(row(d.list, 1), (QStringList{"07.12.26   10:05:00", b}));
    EXPECT_EQ(row(d.list, 2), (QStringList{"07.12.26   10:00:00", a}));
    EXPECT_EQ(d.list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 10);
    EXPECT_EQ(d.list->headerItem()->text(0), "Datum");
    EXPECT_EQ(d.list->headerItem()->text(1), "Datei");
    EXPECT_EQ(d.list->columnWidth(0), 150);
    EXPECT_EQ(d.list->geometry(), QRect(5, 60, 790, 300));
    EXPECT_EQ(d.maxField->text(), "25");
    EXPECT_EQ(d.restore->geometry(), QRect(310, 370, 100, 20));
    EXPECT_EQ(d.maxField->geometry(), QRect(745, 375, 50, 20));

    // Every caption fits its gadget at the font chosen for it.
    const QStringList lines = d.info->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Datei(en) hier auswählen"));
    EXPECT_TRUE(lines[2].endsWith("Doppelklick spielt die Datei..."));
    const QFontMetrics im(d.info->font());
    for (const QString& l : lines) EXPECT_LE(im.horizontalAdvance(l), 790 - 6) << l.toStdString();
    EXPECT_LE(im.lineSpacing() * 3, 50 - 4);
    for (QPushButton* p : {d.stop, d.back, d.forward, d.restore, d.done_})
        EXPECT_LE(QFontMetrics(p->font()).horizontalAdvance(p->text()), p->width() - 6) << p->text().toStdString();
    EXPECT_LE(QFontMetrics(d.maxLabel->font()).horizontalAdvance(d.maxLabel->text()), 125);
    // A picture of the window for a look by eye.
    d.grab().save(QStringLiteral(KALVO_BINARY_DIR "/restore-dialog.png"));
}

TEST_F(RestoreDialogTest, RestoresTheSelectedRowsAndReportsBothCounts) {
    RestoreDialog d(k(), nullptr);
    d.show();
    d.list->topLevelItem(0)->setSelected(true);  // C: origin unknown
    d.list->topLevelItem(1)->setSelected(true);  // B
    QTest::mouseClick(d.restore, Qt::LeftButton);
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "1 Datei(en) wiederhergestellt\r\n1 Datei(en) W.h. misslungen");
    EXPECT_TRUE(QFile::exists(b));
    ASSERT_EQ(d.list->topLevelItemCount(), 2);
    EXPECT_EQ(row(d.list, 0)[1], "");
    EXPECT_EQ(row(d.list, 1)[1], a);
    EXPECT_EQ(indexValues().size(), 2);
}

TEST_F(RestoreDialogTest, ASongPlayedFromTheTrashStopsWhenRestoredAndOnClosing) {
    RestoreDialog d(k(), nullptr);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    doubleClick(d.list, 1);
    EXPECT_TRUE(d.session.playingFromTrash());
    EXPECT_TRUE(t.media.calls.contains("load " + trash() + "B.mp3"));
    d.list->topLevelItem(1)->setSelected(true);
    t.media.calls.clear();
    QTest::mouseClick(d.restore, Qt::LeftButton);
    EXPECT_TRUE(t.media.calls.contains("release"));
    EXPECT_TRUE(k().playback.currentSong.isEmpty());

    QFile::remove(trash() + "A.mp3");
    doubleClick(d.list, 1);  // A, whose file has vanished
    EXPECT_FALSE(d.session.playingFromTrash());
}

TEST_F(RestoreDialogTest, TheFieldSetsTrashMaxOnlyWhenTheDialogCloses) {
    k().settings.TrashMax = 40;
    {
        RestoreDialog d(k(), nullptr);
        d.show();
        d.maxField->clear();
        QTest::keyClicks(d.maxField, "1x0");
        EXPECT_EQ(d.maxField->text(), "10");  // digits only
        EXPECT_EQ(k().settings.TrashMax, 40);
        QTest::mouseClick(d.done_, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(k().settings.TrashMax, 10);
    }
    {
        RestoreDialog d(k(), nullptr);
        d.show();
        d.maxField->clear();
        d.close();  // the title bar's close button
        EXPECT_EQ(k().settings.TrashMax, 10);  // an empty field keeps the limit
    }
}

TEST_F(RestoreDialogTest, RunningTheDialogDeterminesTheCurrentSongAfterwards) {
    const QString x = addSong("X.mp3", 5);
    k().settings.TrashMax = 40;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<RestoreDialog*>(w)) {
                d->maxField->setText("7");
                QTest::mouseClick(d->done_, Qt::LeftButton);
            }
    });
    runRestoreDialog(k(), nullptr);
    EXPECT_EQ(k().settings.TrashMax, 7);
    EXPECT_EQ(k().playback.currentSong, x);
    EXPECT_FALSE(t.media.isLoaded());
}

}  // namespace
