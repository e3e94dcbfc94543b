// The trash store on its own seam: move in under a key, move back, undo,
// list, write the index. The song-level roads are tested with the player.
#include "trash/TrashStoreSupport.h"

namespace {

using TrashStore = TrashStoreFixture;

TEST_F(TrashStore, KeepsAtMostTrashMaxFilesAndABrokenLimitErasesNothing) {
    trashMax = 2;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        EXPECT_EQ(throwAway(song(QStringLiteral("m/") + name), 7).result, MoveResult::Moved);
        clock.advance(1000);
    }
    EXPECT_EQ(trashFiles(), (QStringList{"b.mp3", "c.mp3"}));  // the oldest went for good
    ASSERT_EQ(trash.TrashList.size(), 2);
    EXPECT_EQ(trash.TrashList[0].originPath, path("m/b.mp3"));

    // The index on disk names the same entries as the list.
    Trash again{Trash::Needs{files, clock, random, folder, trashMax, [](const QString&) {}}};
    EXPECT_EQ(again.CheckTrashFolder(), 0);
    ASSERT_EQ(again.TrashList.size(), 2);
    EXPECT_EQ(again.TrashList[1].trashPath, folder + "c.mp3");
    EXPECT_EQ(again.TrashList[1].randomKey, 7);

    for (const int32_t broken : {0, -1}) {
        trashMax = broken;
        throwAway(song("m/a.mp3"), 8);
    }
    EXPECT_EQ(trashFiles(), (QStringList{"a.mp3", "a1.mp3", "b.mp3", "c.mp3"}));
}

TEST_F(TrashStore, MovesBackOnlyToAFreeOriginAndUndoesNewestFirst) {
    throwAway(song("m/a.mp3"), 1);
    throwAway(song("m/b.mp3"), 2);
    EXPECT_EQ(trash.undoableCount(), 2);

    song("m/b.mp3");  // something new took the name meanwhile
    TrashEntry undone;
    EXPECT_EQ(trash.undoNewest(undone), Trash::Undo::Failed);
    EXPECT_EQ(read(path("m/b.mp3")), "m/b.mp3");
    EXPECT_EQ(read(folder + "b.mp3"), "m/b.mp3");
    EXPECT_TRUE(logged.contains("UndoLastDelete: Konnte Datei nicht wiederherstellen: " + folder + "b.mp3 > " +
                                path("m/b.mp3")));

    QFile::remove(path("m/b.mp3"));
    EXPECT_EQ(trash.undoNewest(undone), Trash::Undo::Done);
    EXPECT_EQ(undone.randomKey, 2);
    EXPECT_EQ(trash.undoNewest(undone), Trash::Undo::Done);
    EXPECT_EQ(undone.originPath, path("m/a.mp3"));
    EXPECT_EQ(trash.undoNewest(undone), Trash::Undo::Nothing);
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(trash.TrashList.isEmpty());
}

TEST_F(TrashStore, AFolderThatRefusesDeletesKeepsTheSongAndNoCopy) {
    const QString a = song("m/a.mp3");
    files.removeRefused << a;
    const Trash::MovedIn in = trash.moveIn(a);
    EXPECT_EQ(in.result, MoveResult::CopyKept);
    EXPECT_EQ(read(a), "m/a.mp3");
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(logged.contains("Konnte Datei nicht löschen: " + a));

    // Without a trash folder nothing moves, least of all into the working folder.
    folder.clear();
    EXPECT_EQ(trash.moveIn(a).result, MoveResult::NotMoved);
    EXPECT_EQ(read(a), "m/a.mp3");
}

}  // namespace
