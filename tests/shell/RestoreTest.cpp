#include "fixtures/TrashFixture.h"
#include "shell/RestoreSession.h"

namespace {

class Restore : public TrashFixture {
protected:
    QString a, b;
    void SetUp() override {
        a = addSong(QStringLiteral("A.mp3"), 30);
        b = addSong(QStringLiteral("B.mp3"), 10);
        k().library.pathList.append(music() + "/");
    }
};

TEST_F(Restore, PutsTheFileBackWithItsRandomKeyAndRewritesTheIndex) {
    load(1);
    k().actions.DeleteCurrentSong(false);
    ASSERT_FALSE(QFile::exists(b));
    const auto counts = k().actions.RestoreSelected({10});
    EXPECT_EQ(counts.restored, 1);
    EXPECT_EQ(counts.failed, 0);
    EXPECT_EQ(readFile(b), QByteArray("B.mp3"));
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(indexValues().isEmpty());
    int found = 0;
    for (const SongEntry& e : k().library.songList.raw())
        if (e.filePath == b) {
            ++found;
            EXPECT_EQ(e.randomKey, 10);  // same place in the random order
        }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(Trash::restoreMessage(counts),
              "1 Datei(en) wiederhergestellt\r\n0 Datei(en) W.h. misslungen");
}

TEST_F(Restore, NeverReplacesAFileAtTheOriginAndCountsFailures) {
    load(0);
    k().actions.DeleteCurrentSong(false);
    writeFile(a, "a new file of the same name");
    trashed("unknown.mp3", 5, 77);                                // origin not recorded
    trashed("nofolder.mp3", 6, 78, t.path("gone/nofolder.mp3"));  // origin folder gone
    const auto counts = k().actions.RestoreSelected({30, 77, 78, 12345});
    EXPECT_EQ(counts.restored, 0);
    EXPECT_EQ(counts.failed, 3);
    EXPECT_EQ(readFile(a), QByteArray("a new file of the same name"));
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("A.mp3"));
    EXPECT_EQ(k().trash.TrashList.size(), 3);
    EXPECT_EQ(indexValues().size(), 3);
    EXPECT_FALSE(QDir(t.path("gone")).exists());
    // Each failure says why.
    const QStringList log = t.logLines();
    EXPECT_TRUE(log.contains("Wiederherstellen: Ursprungsort belegt: " + a));
    EXPECT_TRUE(log.contains("Wiederherstellen: Ursprungsort unbekannt: " + trash() + "unknown.mp3"));
    EXPECT_TRUE(log.contains("Wiederherstellen: Ordner fehlt: " + t.path("gone")));
}

TEST_F(Restore, AnOriginThatIsRelativeOrHoldsDotPartsIsRefused) {
    // A hand-edited index must not send files to relative or ".." places.
    QDir().mkpath(t.path("outside"));
    const QStringList origins = {"rel/x.mp3", music() + "/../outside/x.mp3", music() + "/./x.mp3",
                                 music() + "/.."};
    for (int i = 0; i < origins.size(); ++i) trashed(QStringLiteral("x%1.mp3").arg(i), i, 90 + i, origins[i]);
    const auto counts = k().actions.RestoreSelected({90, 91, 92, 93});
    EXPECT_EQ(counts.restored, 0);
    EXPECT_EQ(counts.failed, 4);
    EXPECT_EQ(k().trash.TrashList.size(), 4);
    EXPECT_FALSE(QFile::exists(t.path("outside/x.mp3")));
    EXPECT_FALSE(QFile::exists(music() + "/x.mp3"));
    for (int i = 0; i < origins.size(); ++i) EXPECT_TRUE(QFile::exists(trash() + QStringLiteral("x%1.mp3").arg(i)));
    EXPECT_TRUE(t.logLines().contains(QStringLiteral("Wiederherstellen: ungültiger Ursprungsort: rel/x.mp3")));
}

TEST_F(Restore, OneKeyRestoresEveryEntryThatBearsIt) {
    trashed("x.mp3", 1, 5, music() + "/x.mp3");
    trashed("y.mp3", 2, 5, music() + "/y.mp3");
    const auto counts = k().actions.RestoreSelected({5, 5});
    EXPECT_EQ(counts.restored, 2);
    EXPECT_EQ(counts.failed, 0);
    EXPECT_TRUE(QFile::exists(music() + "/x.mp3"));
    EXPECT_TRUE(QFile::exists(music() + "/y.mp3"));
}

TEST_F(Restore, NothingSelectedStillReportsZeroes) {
    const auto counts = k().actions.RestoreSelected({});
    EXPECT_EQ(Trash::restoreMessage(counts),
              "0 Datei(en) wiederhergestellt\r\n0 Datei(en) W.h. misslungen");
}

TEST_F(Restore, AcrossFileSystemsCopiesAndWhenTheTrashCopyStaysStillRestores) {
    CrossDeviceFileOps files;
    rebuildKalvo(t, files);
    trashed("x.mp3", 1, 5, music() + "/x.mp3");
    trashed("y.mp3", 2, 6, music() + "/y.mp3");
    files.removeRefused << trash() + "y.mp3";
    const auto counts = k().actions.RestoreSelected({5, 6});
    EXPECT_EQ(counts.restored, 2);
    EXPECT_EQ(files.copies, 2);
    EXPECT_EQ(readFile(music() + "/x.mp3"), QByteArray("x.mp3"));
    EXPECT_EQ(readFile(music() + "/y.mp3"), QByteArray("y.mp3"));
    EXPECT_EQ(trashFiles(), QStringList{"y.mp3"});  // kept, adopted at the next start
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht löschen: " + trash() + "y.mp3"));

    files.failCopy = true;
    trashed("z.mp3", 3, 7, music() + "/z.mp3");
    EXPECT_EQ(k().actions.RestoreSelected({7}).failed, 1);
    EXPECT_TRUE(QFile::exists(trash() + "z.mp3"));
    EXPECT_FALSE(QFile::exists(music() + "/z.mp3"));
    EXPECT_TRUE(t.logLines().contains("Wiederherstellen: Konnte Datei nicht verschieben: " + trash() + "z.mp3 > " +
                                      music() + "/z.mp3"));
}

TEST_F(Restore, PlayFromTrashPlaysTheTrashedFileOnlyWhileItExists) {
    const TrashEntry e = trashed("x.mp3", 1, 5, music() + "/x.mp3");
    EXPECT_TRUE(k().actions.PlayFromTrash(5));
    EXPECT_TRUE(t.media.calls.contains("load " + e.trashPath));
    QFile::remove(e.trashPath);
    t.media.calls.clear();
    EXPECT_FALSE(k().actions.PlayFromTrash(5));
    EXPECT_FALSE(k().actions.PlayFromTrash(999));
    EXPECT_TRUE(t.media.calls.isEmpty());
}

TEST_F(Restore, RowsAreNewestFirstWithTheirDateText) {
    // 10:00, 10:05 and 10:10 on 7 Dec 2026, local wall clock.
    const int32_t ten = 1796637600;
    trashed("a.mp3", ten, 1, "/o/a.mp3");
    trashed("b.mp3", ten + 300, 2, "/o/b.mp3");
    trashed("c.mp3", ten + 600, 3, "");
    const QVector<Trash::Row> rows = k().trash.rowsNewestFirst();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].date, "07.12.26   10:10:00");
    EXPECT_EQ(rows[1].date, "07.12.26   10:05:00");
    EXPECT_EQ(rows[2].date, "07.12.26   10:00:00");
    EXPECT_EQ(rows[0].origin, "");
    EXPECT_EQ(rows[2].origin, "/o/a.mp3");
    EXPECT_EQ(rows[1].randomKey, 2);
}

TEST(TrashMaxField, EmptyReadsZeroAndDigitsReadAsTheyAre) {
    EXPECT_EQ(Trash::trashMaxFromField(""), 0);
    EXPECT_EQ(Trash::trashMaxFromField("10"), 10);
    EXPECT_EQ(Trash::trashMaxFromField("0"), 0);
    EXPECT_EQ(Trash::trashMaxFromField("99999999999"), 2147483647);
}

}  // namespace

namespace {

// A file appears at the watched path just before the rename onto it: the
// moment between any check and the move.
class AppearingFileOps : public CrossDeviceFileOps {
public:
    QString watched;
    bool renameNoReplace(const QString& from, const QString& to) override {
        if (to == watched && !QFile::exists(to)) {
            QFile f(to);
            if (f.open(QIODevice::WriteOnly)) f.write("newcomer");
        }
        return CrossDeviceFileOps::renameNoReplace(from, to);
    }
};

class RestoreRace : public TrashFixture {};

TEST_F(RestoreRace, AFileAppearingAtTheOriginDuringTheMoveIsNeverReplaced) {
    for (bool cross : {false, true}) {
        AppearingFileOps files;
        files.crossDevice = cross;
        rebuildKalvo(t, files);
        const QString origin = music() + "/x.mp3";
        QDir().mkpath(music());
        QFile::remove(origin);
        k().trash.TrashList.clear();
        trashed("x.mp3", 1, 5, origin);
        files.watched = origin;
        const auto counts = k().actions.RestoreSelected({5});
        EXPECT_EQ(counts.failed, 1) << cross;
        EXPECT_EQ(readFile(origin), QByteArray("newcomer"));
        EXPECT_EQ(readFile(trash() + "x.mp3"), QByteArray("x.mp3"));
        EXPECT_EQ(trashFiles(), QStringList{"x.mp3"});  // no temporary copy left
        EXPECT_EQ(k().trash.TrashList.size(), 1);
    }
}

TEST_F(RestoreRace, AFileAppearingAtTheTrashNameDuringTheDeleteIsNeverReplaced) {
    AppearingFileOps files;
    files.crossDevice = false;
    rebuildKalvo(t, files);
    const QString a = addSong("A.mp3", 30);
    files.watched = trash() + "A.mp3";
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("newcomer"));
    EXPECT_EQ(readFile(a), QByteArray("A.mp3"));
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
}

}  // namespace

TEST_F(Restore, SessionRefillsBeforeTheCountsAndClosesOnceStoppingATrashSong) {
    load(1);
    k().actions.DeleteCurrentSong(false);
    RestoreSession session(k());
    session.play(10);
    ASSERT_TRUE(session.playingFromTrash());
    EXPECT_EQ(k().playback.currentSong, trash() + "B.mp3");

    int shownWhenRefilled = -1;
    session.restore({10}, [&] { shownWhenRefilled = int(t.messages.shown.size()); });
    EXPECT_EQ(shownWhenRefilled, 0);  // the rows are current when the counts show
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_TRUE(t.messages.shown[0].text.startsWith("1 Datei(en) wiederhergestellt"));
    EXPECT_TRUE(k().playback.currentSong.isEmpty());
    EXPECT_TRUE(QFile::exists(b));

    k().settings.TrashMax = 40;
    session.close(QStringLiteral("7"));
    session.close(QStringLiteral("9"));  // the close box after "Fertig" changes nothing
    EXPECT_EQ(k().settings.TrashMax, 7);
    session.finish();
    EXPECT_FALSE(k().playback.currentSong.isEmpty());  // the list's song is determined again
}
