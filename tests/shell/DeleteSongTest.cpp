#include "fixtures/TrashFixture.h"

namespace {

class DeleteSong : public ThreeSongsFixture {};

TEST_F(DeleteSong, MovesThePlayingSongRecordsItAndStartsTheNext) {
    load(1);
    t.view.song = QStringLiteral("B.mp3");
    k().actions.DeleteCurrentSong(false);

    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(readFile(trash() + "B.mp3"), QByteArray("B.mp3"));
    ASSERT_EQ(k().trash.TrashList.size(), 1);
    const TrashEntry& e = k().trash.TrashList[0];
    EXPECT_EQ(e.deletedAt, int32_t(t.clock.local));
    EXPECT_EQ(e.randomKey, 10);
    EXPECT_EQ(e.originPath, b);
    EXPECT_EQ(e.trashPath, trash() + "B.mp3");
    EXPECT_EQ(indexValues(), QStringList{QStringLiteral("%1|10|%2|%3").arg(t.clock.local).arg(b, e.trashPath)});
    EXPECT_EQ(songPaths(), (QStringList{a, c}));
    // The button plays no sound and waits only for the engine to let go.
    EXPECT_TRUE(t.sounds.played.isEmpty());
    EXPECT_EQ(t.messages.asteriskBeeps, 0);
    EXPECT_EQ(t.clock.totalSlept, 10);
    EXPECT_TRUE(t.view.songHistory.contains(QString()));
    // The next song in path order plays.
    EXPECT_TRUE(t.media.calls.contains("load " + c));
    EXPECT_EQ(k().playback.currentSong, c);
    EXPECT_EQ(t.messages.errorBeeps, 0);
}

TEST_F(DeleteSong, TheKeyFunctionSoundsAndPausesBeforeTheListChanges) {
    load(0);
    k().actions.DeleteCurrentSong(true);
    EXPECT_EQ(t.sounds.played.size() + t.messages.asteriskBeeps, 1);
    EXPECT_EQ(t.clock.totalSlept, 510);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(k().trash.TrashList.size(), 1);
}

TEST_F(DeleteSong, WhileStoppedDeletesTheResumeSongAndStaysStopped) {
    k().playback.lastSongPath = c;
    k().actions.DeleteCurrentSong(false);
    EXPECT_FALSE(QFile::exists(c));
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(QFile::exists(b));
    ASSERT_EQ(k().trash.TrashList.size(), 1);
    EXPECT_EQ(k().trash.TrashList[0].originPath, c);
    EXPECT_EQ(songPaths(), (QStringList{a, b}));
    EXPECT_TRUE(k().playback.currentSong.isEmpty());
    EXPECT_FALSE(t.media.isLoaded());
}

TEST_F(DeleteSong, AnEmptyListMovesNothingAndReportsAnEmptySource) {
    k().library.songList.clear();
    k().actions.DeleteCurrentSong(true);
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht verschieben:  > " + trash()));
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(t.sounds.played.isEmpty());
    EXPECT_FALSE(QFile::exists(trash() + Trash::indexFileName()));
}

TEST_F(DeleteSong, TakenNamesGetTheNextFreeNumberNeverAnOverwrite) {
    trashed("B.mp3", 1, 1);
    trashed("B1.mp3", 2, 2);
    load(1);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(k().trash.TrashList.last().trashPath, trash() + "B2.mp3");
    EXPECT_EQ(readFile(trash() + "B2.mp3"), QByteArray("B.mp3"));
    EXPECT_EQ(indexValues().last().section('|', 3), trash() + "B2.mp3");

    // All of B, B1..B100 taken (one of them a folder): counting goes on.
    QDir().mkpath(trash() + "A.mp3");
    for (int i = 1; i <= 100; ++i) writeFile(trash() + QStringLiteral("A%1.mp3").arg(i), "old");
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(k().trash.TrashList.last().trashPath, trash() + "A101.mp3");
    EXPECT_EQ(readFile(trash() + "A100.mp3"), QByteArray("old"));
    EXPECT_EQ(readFile(trash() + "A101.mp3"), QByteArray("A.mp3"));
}

TEST(TrashNames, TheExtensionComesFromTheFileNameOnly) {
    FileOps files;
    FakeClock clock;
    ScriptedRandom random;
    const QString folder;
    const int32_t trashMax = 40;
    Trash trash{Trash::Needs{files, clock, random, folder, trashMax, [](const QString&) {}}};
    EXPECT_EQ(trash.freeTrashName("/nowhere/.x/", "/m/Lied.mp3"), "/nowhere/.x/Lied.mp3");
    EXPECT_EQ(trash.freeTrashName("/nowhere/.x/", "/m/Lied"), "/nowhere/.x/Lied");
    QTemporaryDir d;
    const QString f = d.path() + "/.trash/";
    QDir().mkpath(f);
    QFile(f + "Lied").open(QIODevice::WriteOnly);
    QFile(f + "a.b.mp3").open(QIODevice::WriteOnly);
    EXPECT_EQ(trash.freeTrashName(f, "/m/Lied"), f + "Lied1");
    EXPECT_EQ(trash.freeTrashName(f, "/m.x/a.b.mp3"), f + "a.b1.mp3");
    // A backslash is a name character: the whole name goes into the trash.
    EXPECT_EQ(trash.freeTrashName(f, "/m/AC\\DC - a.b.mp3"), f + "AC\\DC - a.b.mp3");
}

TEST_F(DeleteSong, TheSurplusRuleKeepsTrashMaxFilesOldestGoFirst) {
    k().settings.TrashMax = 3;
    trashed("old1.mp3", 100, 1);
    trashed("old2.mp3", 200, 2);
    trashed("old3.mp3", 300, 3);
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(trashFiles(), (QStringList{"A.mp3", "old2.mp3", "old3.mp3"}));
    ASSERT_EQ(k().trash.TrashList.size(), 3);
    EXPECT_EQ(k().trash.TrashList[0].randomKey, 2);
    EXPECT_EQ(k().trash.TrashList[2].randomKey, 30);

    k().settings.TrashMax = 1;
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(trashFiles(), QStringList{"B.mp3"});
    EXPECT_EQ(indexValues().size(), 1);
}

TEST_F(DeleteSong, ATrashMaxBelowOneErasesNothing) {
    trashed("old1.mp3", 100, 1);
    trashed("old2.mp3", 200, 2);
    for (int32_t max : {0, -7}) {
        k().settings.TrashMax = max;
        load(0);
        const QString name = filePart(k().playback.currentSong);
        k().actions.DeleteCurrentSong(false);
        EXPECT_TRUE(trashFiles().contains(name)) << max;
        EXPECT_TRUE(trashFiles().contains("old1.mp3")) << max;
        EXPECT_EQ(k().settings.TrashMax, max);  // the stored value stays as set
    }
    EXPECT_EQ(k().trash.TrashList.size(), 4);
}

TEST_F(DeleteSong, TheSurplusRuleNeverDeletesTheNewFileNorFilesOutsideTheTrash) {
    k().settings.TrashMax = 1;
    // A stale entry naming the very path the new file gets, and one naming a song.
    k().trash.TrashList.append(TrashEntry{1, 7, {}, trash() + "B.mp3"});
    k().trash.TrashList.append(TrashEntry{2, 8, {}, c});
    load(1);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(readFile(trash() + "B.mp3"), QByteArray("B.mp3"));
    EXPECT_TRUE(QFile::exists(c));
    ASSERT_EQ(k().trash.TrashList.size(), 1);
    EXPECT_EQ(k().trash.TrashList[0].originPath, b);
}

TEST_F(DeleteSong, ASongPlayedByPathKeepsItsOwnOriginAndTheListEntryOfAnother) {
    const QString outside = t.path("elsewhere/X.mp3");
    writeFile(outside, "X");
    k().library.songList.select(0);
    ASSERT_TRUE(k().playback.Spielen(outside));
    k().actions.DeleteCurrentSong(false);
    ASSERT_EQ(k().trash.TrashList.size(), 1);
    EXPECT_EQ(k().trash.TrashList[0].originPath, outside);
    EXPECT_EQ(songPaths(), (QStringList{a, b, c}));
    EXPECT_TRUE(QFile::exists(a));

    // Played by path while the cursor is elsewhere, but the song is in the list.
    k().library.songList.select(0);
    ASSERT_TRUE(k().playback.Spielen(c));
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(k().trash.TrashList.last().originPath, c);
    EXPECT_EQ(k().trash.TrashList.last().randomKey, 20);
    EXPECT_EQ(songPaths(), (QStringList{a, b}));
}

// What currentSong names is not always what is heard: a start refused for
// its extension, or a determination without playing (a new random order, a
// closed list edit), changes it while the engine holds another song, or
// none. The delete moves the song heard, else the song that would play
// next, and only ever a file.
TEST_F(DeleteSong, MovesTheSongHeardNeverWhatAFailedStartOrADeterminationLeftBehind) {
    const QString letter = t.path("Dokumente/Brief.odt");
    writeFile(letter, "Brief");
    load(1);
    // Refused by path: nothing plays on under the refused name.
    EXPECT_FALSE(k().playback.Spielen(letter));
    EXPECT_EQ(k().playback.currentSong, letter);
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_TRUE(k().playback.heardSong().isEmpty());
    // Nothing heard: the song that would play next (B, the resume point) goes.
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(readFile(letter), QByteArray("Brief"));
    EXPECT_EQ(trashFiles(), QStringList{"B.mp3"});
    EXPECT_FALSE(t.media.isLoaded());  // and nothing starts

    // A plays; the resume song changes without playing: A is still heard.
    load(0);
    k().playback.lastSongPath = c;
    ASSERT_TRUE(k().playback.LiedBestimmen(QString()));
    EXPECT_EQ(k().playback.currentSong, c);
    EXPECT_EQ(k().playback.heardSong(), a);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(trashFiles(), (QStringList{"A.mp3", "B.mp3"}));
    EXPECT_EQ(readFile(c), QByteArray("C.mp3"));
    EXPECT_EQ(songPaths(), QStringList{c});
    EXPECT_EQ(k().trash.TrashList.last().randomKey, 30);
    EXPECT_EQ(k().playback.heardSong(), c);  // the next one plays
}

TEST_F(DeleteSong, AFolderOrAPipeIsNeverMoved) {
    // A list entry that is a folder with a song's name (a photo folder
    // "Urlaub.mp3"), chosen while nothing plays.
    const QString folder = music() + "/Urlaub.mp3";
    QDir().mkpath(folder + "/Bilder");
    writeFile(folder + "/Bilder/1.jpg", "jpg");
    k().library.songList.clear();
    k().library.songList.append(SongEntry{folder, 5, 1});
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(readFile(folder + "/Bilder/1.jpg"), QByteArray("jpg"));
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(QDir(trash()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht verschieben: " + folder + " > " + trash() + "Urlaub.mp3"));

    const QString pipe = music() + "/Rohr.mp3";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    k().library.songList.clear();
    k().library.songList.append(SongEntry{pipe, 6, 1});
    k().actions.DeleteCurrentSong(false);
    EXPECT_TRUE(QFileInfo(pipe).exists());
    EXPECT_TRUE(trashFiles().isEmpty());
}

TEST_F(DeleteSong, AFailedCopyChangesNothingAndLogs) {
    CrossDeviceFileOps files;
    files.failCopy = true;
    rebuildKalvo(t, files);
    k().library.songList.append(SongEntry{a, 30, 1});
    load(0);
    k().actions.DeleteCurrentSong(true);
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht verschieben: " + a + " > " + trash() + "A.mp3"));
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_EQ(songPaths(), QStringList{a});
    EXPECT_TRUE(k().playback.currentSong.isEmpty());
    EXPECT_TRUE(t.sounds.played.isEmpty());
}

// The source is whole, so its copy goes again: repeated attempts do not
// fill the trash with copies the next start would adopt.
TEST_F(DeleteSong, ASourceThatCannotBeRemovedLeavesNoCopyAndSaysSo) {
    CrossDeviceFileOps files;
    files.removeRefused << a;
    rebuildKalvo(t, files);
    k().library.songList.append(SongEntry{a, 30, 1});
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(readFile(a), QByteArray("A.mp3"));
    EXPECT_TRUE(trashFiles().isEmpty());  // no copy, no partial copy
    EXPECT_EQ(t.view.song, "Kann A.mp3 nicht löschen");  // the folder itself is writable
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht löschen: " + a));
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_EQ(songPaths(), QStringList{a});
    EXPECT_TRUE(k().playback.currentSong.isEmpty());
}

TEST_F(DeleteSong, AcrossFileSystemsTheSongIsCopiedThenRemoved) {
    CrossDeviceFileOps files;
    rebuildKalvo(t, files);
    k().library.songList.append(SongEntry{a, 30, 1});
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(files.copies, 1);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(trashFiles(), QStringList{"A.mp3"});
    EXPECT_EQ(k().trash.TrashList.size(), 1);
}

TEST_F(DeleteSong, AVanishedSourceIsReportedAndStaysListed) {
    load(0);
    QFile::remove(a);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht verschieben: " + a + " > " + trash() + "A.mp3"));
    EXPECT_EQ(songPaths().size(), 3);
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
}

TEST_F(DeleteSong, AnIndexThatCannotBeWrittenLosesNoFile) {
    QDir().mkpath(trash() + Trash::indexFileName());  // a folder where the file belongs
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("A.mp3"));
    EXPECT_EQ(k().trash.TrashList.size(), 1);
    EXPECT_EQ(t.messages.shown.size(), 0);
    bool logged = false;
    for (const QString& l : t.logLines()) logged |= l.startsWith("WriteTrashIndex: ");
    EXPECT_TRUE(logged);
    EXPECT_FALSE(k().trash.WriteTrashIndex());
}

}  // namespace

namespace {

TEST_F(DeleteSong, WithoutATrashFolderNothingMovesAndTheWorkingFolderIsLeftAlone) {
    k().shell.TrashFolder.clear();
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(t.path(""));
    load(0);
    k().actions.DeleteCurrentSong(false);
    k().actions.CheckTrashFolder();
    QDir::setCurrent(cwd);
    EXPECT_EQ(readFile(a), QByteArray("A.mp3"));
    EXPECT_FALSE(QFile::exists(t.path("A.mp3")));
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(t.messages.shown.isEmpty());  // nothing "found" in the working folder
}

}  // namespace

namespace {

// Undo of a delete under the same faults as the delete itself: whatever
// fails, the song is whole at its origin or in the trash, and the index
// names exactly the files the trash still holds.
class UndoFaults : public DeleteSong {
protected:
    CrossDeviceFileOps files;
    void SetUp() override {
        DeleteSong::SetUp();
        rebuildKalvo(t, files);
        k().library.pathList.append(music() + "/");
        k().library.ListeAbgleichen();
        load(0);
        k().actions.DeleteCurrentSong(true);
        ASSERT_FALSE(QFile::exists(a));
        t.messages.errorBeeps = 0;
    }
    QStringList indexedNames() {
        QStringList names;
        for (const QString& v : indexValues()) names << filePart(v.section('|', 3));
        return names;
    }
};

TEST_F(UndoFaults, AFailedCopyBackLeavesTheSongInTheTrashAndIndexed) {
    files.failCopy = true;
    EXPECT_FALSE(k().actions.UndoLastDelete());
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("A.mp3"));
    EXPECT_EQ(indexedNames(), QStringList{"A.mp3"});
    EXPECT_EQ(trashFiles(), QStringList{"A.mp3"});  // no partial copy anywhere
    EXPECT_EQ(QDir(music()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_EQ(t.messages.errorBeeps, 1);

    files.failCopy = false;  // the cause gone, the same press works
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(a), QByteArray("A.mp3"));
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(indexValues().isEmpty());
    EXPECT_EQ(files.copies, 3);  // the delete, the failed and the good undo
}

TEST_F(UndoFaults, ATrashCopyThatCannotBeRemovedStaysUnindexedBesideTheRestoredSong) {
    files.removeRefused << trash() + "A.mp3";
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(a), QByteArray("A.mp3"));
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("A.mp3"));
    EXPECT_TRUE(indexValues().isEmpty());  // adopted at the next start
    EXPECT_TRUE(t.logLines().contains("Konnte Datei nicht löschen: " + trash() + "A.mp3"));
    EXPECT_EQ(k().playback.currentSong, a);
}

TEST_F(UndoFaults, NoRenameAnywhereStillMovesByCopy) {
    files.failRename = true;  // the copy's own rename into place fails too
    EXPECT_FALSE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("A.mp3"));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(QDir(music()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_EQ(indexedNames(), QStringList{"A.mp3"});
}

TEST_F(UndoFaults, AnIndexThatCannotBeWrittenLosesNothingAndTheNextStartIsTrue) {
    // An index that cannot be replaced: a folder stands where the file belongs.
    const QString index = trash() + Trash::indexFileName();
    QFile::remove(index);
    QDir().mkpath(index);
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(readFile(a), QByteArray("A.mp3"));
    EXPECT_TRUE(trashFiles().isEmpty());
    QDir(index).removeRecursively();
    rebuildKalvo(t, files);
    k().actions.CheckTrashFolder();
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

}  // namespace
