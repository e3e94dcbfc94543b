#include "fixtures/TrashFixture.h"

namespace {

class UndoDelete : public ThreeSongsFixture {
protected:
    void SetUp() override {
        ThreeSongsFixture::SetUp();
        k().library.pathList.append(music() + "/");
    }
    int keyOf(const QString& path) {
        for (const SongEntry& e : k().library.songList.raw())
            if (e.filePath == path) return e.randomKey;
        return -1;
    }
    SongEntry* cursor() { return k().library.songList.current(); }
    int indexOf(const QString& path) {
        const QVector<SongEntry>& raw = k().library.songList.raw();
        for (int i = 0; i < raw.size(); ++i)
            if (raw[i].filePath == path) return i;
        return -1;
    }
};

TEST_F(UndoDelete, PutsTheLastDeleteBackIntoItsListPlaceAndPlaysItFromItsStart) {
    load(1);
    k().actions.DeleteCurrentSong(true);
    ASSERT_EQ(k().playback.currentSong, c);
    t.media.calls.clear();
    const int asterisks = t.messages.asteriskBeeps;  // the delete's sound

    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(b), QByteArray("B.mp3"));
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(indexValues().isEmpty());
    EXPECT_EQ(songPaths(), (QStringList{a, b, c}));
    EXPECT_EQ(keyOf(b), 10);
    // Played from the list: cursor, counter, resume point and a fresh load.
    EXPECT_EQ(k().playback.currentSong, b);
    ASSERT_TRUE(cursor());
    EXPECT_EQ(cursor()->filePath, b);
    EXPECT_EQ(t.view.counter, "2/3");
    EXPECT_EQ(k().playback.lastSongPath, b);
    EXPECT_TRUE(t.media.calls.contains("load " + b));
    EXPECT_EQ(t.messages.errorBeeps, 0);
    EXPECT_EQ(t.messages.asteriskBeeps, asterisks);
    EXPECT_EQ(k().trash.undoableCount(), 0);
}

TEST_F(UndoDelete, InRandomOrderTheSongGetsItsOldKeyAndPlace) {
    t.view.zufall = true;
    k().library.LiederSortieren();  // keys 10 (B), 20 (C), 30 (A)
    load(1);                        // C
    k().playback.lastSongKey = 20;
    k().actions.DeleteCurrentSong(false);
    ASSERT_EQ(k().playback.currentSong, a);

    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(songPaths(), (QStringList{b, c, a}));
    EXPECT_EQ(k().playback.currentSong, c);
    EXPECT_EQ(k().playback.lastSongKey, 20);
    EXPECT_EQ(t.view.counter, "2/3");
    // The next song after it is the one after it in the random order.
    k().playback.MusNext();
    EXPECT_EQ(k().playback.currentSong, a);
}

TEST_F(UndoDelete, WalksBackThroughThisRunsDeletesOnlyThenBeeps) {
    trashed("Old.mp3", 5, 99, music() + "/Old.mp3");  // trashed in an earlier run
    load(0);
    k().actions.DeleteCurrentSong(false);  // A
    t.clock.advance(2000);
    k().actions.DeleteCurrentSong(false);  // B, which played next
    ASSERT_EQ(k().trash.undoableCount(), 2);

    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(k().playback.currentSong, b);
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_EQ(k().playback.currentSong, a);

    const QStringList indexBefore = indexValues();
    const int loadsBefore = int(t.media.calls.size());
    EXPECT_FALSE(k().actions.UndoLastDelete());
    EXPECT_EQ(t.messages.asteriskBeeps, 1);
    EXPECT_EQ(t.messages.errorBeeps, 0);
    EXPECT_EQ(trashFiles(), QStringList{"Old.mp3"});
    EXPECT_EQ(indexValues(), indexBefore);
    EXPECT_EQ(int(t.media.calls.size()), loadsBefore);
    EXPECT_EQ(k().playback.currentSong, a);
}

TEST_F(UndoDelete, SkipsDeletesThatLeftTheTrashAnotherWay) {
    load(0);
    k().actions.DeleteCurrentSong(false);  // A
    t.clock.advance(1000);
    k().actions.DeleteCurrentSong(false);  // B
    k().actions.RestoreSelected({10});     // the dialog brought B back
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_EQ(k().playback.currentSong, a);

    // With room for one file, the surplus rule removed the older delete.
    k().settings.TrashMax = 1;
    load(0);
    k().actions.DeleteCurrentSong(false);  // A, gone for good with the next
    t.clock.advance(1000);
    k().actions.DeleteCurrentSong(false);  // B
    EXPECT_EQ(k().trash.undoableCount(), 1);
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_FALSE(k().actions.UndoLastDelete());
    EXPECT_EQ(t.messages.asteriskBeeps, 1);
}

TEST_F(UndoDelete, ATakenOriginKeepsTheFileInTheTrashAndNextInLine) {
    load(1);
    k().actions.DeleteCurrentSong(false);  // B; C plays
    writeFile(b, "a new B");
    const QStringList indexBefore = indexValues();

    EXPECT_FALSE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(b), QByteArray("a new B"));
    EXPECT_EQ(readFile(trash() + "B.mp3"), QByteArray("B.mp3"));
    EXPECT_EQ(indexValues(), indexBefore);
    EXPECT_EQ(k().trash.TrashList.size(), 1);
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.logLines().contains("UndoLastDelete: Konnte Datei nicht wiederherstellen: " + trash() +
                                      "B.mp3 > " + b));
    EXPECT_EQ(k().playback.currentSong, c);  // playback untouched

    QFile::remove(b);
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(b), QByteArray("B.mp3"));
    EXPECT_EQ(k().playback.currentSong, b);
}

TEST_F(UndoDelete, ASongPlayedByPathFromOutsideTheListIsPlayedByPathAgain) {
    const QString outside = t.path("elsewhere/X.mp3");
    writeFile(outside, "X");
    k().library.songList.select(0);
    ASSERT_TRUE(k().playback.Spielen(outside));
    k().actions.DeleteCurrentSong(false);
    ASSERT_FALSE(QFile::exists(outside));
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(outside), QByteArray("X"));
    EXPECT_EQ(k().playback.currentSong, outside);
}

TEST_F(UndoDelete, EntersOnlyThatSongAgainWhereAScanWouldPutIt) {
    // A song on a stick that is away: absent for three scans in a row.
    const QString away = t.path("stick/Z.mp3");
    k().library.songList.append(SongEntry{away, 15, -3});
    k().library.ListeAbgleichen();  // real sizes
    for (const bool random : {false, true}) {
        t.view.zufall = random;
        k().library.LiederSortieren();
        load(indexOf(b));
        k().actions.DeleteCurrentSong(false);
        const int scans = t.progress.opens;
        const int32_t awayBefore = k().library.songList.at(indexOf(away)).presence;

        ASSERT_TRUE(k().actions.UndoLastDelete()) << random;
        EXPECT_EQ(t.progress.opens, scans) << "no scan runs for an undo";
        EXPECT_EQ(k().library.songList.at(indexOf(away)).presence, awayBefore) << random;
        EXPECT_EQ(k().library.songList.at(indexOf(b)).presence, 5) << random;  // "B.mp3": its size
        EXPECT_EQ(k().library.songList.at(indexOf(b)).randomKey, 10);
        EXPECT_EQ(k().playback.currentSong, b);

        const QStringList order = songPaths();
        k().library.ListeAbgleichen();
        EXPECT_EQ(songPaths(), order) << random;
        EXPECT_EQ(k().library.songList.at(indexOf(b)).presence, 5);
    }
    EXPECT_EQ(songPaths(), (QStringList{b, away, c, a}));  // keys 10, 15, 20, 30
}

}  // namespace
