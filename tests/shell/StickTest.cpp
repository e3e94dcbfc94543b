// Songs on removable sticks (FAT32, exFAT: no RENAME_NOREPLACE, no hard
// links) and in read-only folders, on real mounts. Tests that cannot mount
// (not root, no driver, no tools) skip and say why.
#include "fixtures/ScratchMount.h"
#include "fixtures/TrashFixture.h"

#include <QCryptographicHash>
#include <random>

#include "base/MountPoints.h"
#include "base/SafeMove.h"

namespace {

using Kind = ScratchMount::Kind;

QByteArray noise(unsigned seed, int size) {
    std::mt19937 r(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (char& c : b) c = char(r());
    return b;
}
QByteArray sha1(const QByteArray& d) { return QCryptographicHash::hash(d, QCryptographicHash::Sha1).toHex(); }

class MountedFixture : public TrashFixture {
protected:
    std::unique_ptr<ScratchMount> disk;
    QString root;  // the mount point

    void mountOrSkip(Kind kind) {
        root = t.path("stick");
        disk = std::make_unique<ScratchMount>(kind, t.path("stick.img"), root);
        if (!disk->ok())
            GTEST_SKIP() << "cannot mount " << ScratchMount::name(kind).toStdString() << ": "
                         << disk->reason().toStdString();
    }
    void TearDown() override { disk.reset(); }
    // A song of random bytes on the mount, listed (callers add in path order).
    QString put(const QString& relative, const QByteArray& data, int32_t key) {
        const QString p = root + "/" + relative;
        writeFile(p, data);
        k().library.songList.append(SongEntry{p, key, 1});
        return p;
    }
    int indexOf(const QString& path) {
        for (int i = 0; i < k().library.songList.size(); ++i)
            if (k().library.songList.at(i).filePath == path) return i;
        return -1;
    }
    static QStringList allNames(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    int logCount(const QString& line) { return int(t.logLines().count(line)); }
};

class OnStick : public MountedFixture, public ::testing::WithParamInterface<Kind> {
protected:
    void SetUp() override { mountOrSkip(GetParam()); }
};

TEST_P(OnStick, DeleteRestoreAndUndoKeepEveryByte) {
    const QByteArray dataA = noise(1, 3 << 20), dataB = noise(2, (3 << 19) + 17);
    const QString a = put("Musik/A.mp3", dataA, 30);
    const QString b = put("Musik/B.mp3", dataB, 10);
    k().library.pathList.append(root + "/Musik/");

    load(0);
    k().actions.DeleteCurrentSong(false);
    ASSERT_FALSE(QFile::exists(a));
    EXPECT_EQ(sha1(readFile(trash() + "A.mp3")), sha1(dataA));
    const auto counts = k().actions.RestoreSelected({30});
    EXPECT_EQ(Trash::restoreMessage(counts), "1 Datei(en) wiederhergestellt\r\n0 Datei(en) W.h. misslungen")
        << disk->how().toStdString();
    EXPECT_EQ(sha1(readFile(a)), sha1(dataA));

    load(indexOf(b));
    k().actions.DeleteCurrentSong(true);
    ASSERT_FALSE(QFile::exists(b));
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(sha1(readFile(b)), sha1(dataB));
    EXPECT_EQ(k().playback.currentSong, b);

    EXPECT_EQ(allNames(root + "/Musik"), (QStringList{"A.mp3", "B.mp3"}));  // no claims, no partial copies
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_EQ(t.messages.errorBeeps, 0);
}

TEST_P(OnStick, MovesOnTheStickItselfNeverReplaceAFile) {
    FileOps ops;
    const QByteArray data = noise(3, 200000);
    writeFile(root + "/a.mp3", data);
    writeFile(root + "/taken.mp3", "taken");
    EXPECT_FALSE(ops.renameNoReplace(root + "/a.mp3", root + "/taken.mp3"));
    EXPECT_EQ(moveWithoutLoss(ops, root + "/a.mp3", root + "/taken.mp3"), MoveResult::NotMoved);
    EXPECT_EQ(readFile(root + "/taken.mp3"), QByteArray("taken"));
    EXPECT_EQ(sha1(readFile(root + "/a.mp3")), sha1(data));

    EXPECT_TRUE(ops.renameNoReplace(root + "/a.mp3", root + "/b.mp3"));
    EXPECT_EQ(moveWithoutLoss(ops, root + "/b.mp3", root + "/c.mp3"), MoveResult::Moved);
    EXPECT_EQ(moveWithoutLoss(ops, root + "/c.mp3", root + "/d.mp3"), MoveResult::Moved);
    EXPECT_EQ(sha1(readFile(root + "/d.mp3")), sha1(data));
    EXPECT_EQ(allNames(root), (QStringList{"d.mp3", "taken.mp3"}));
    EXPECT_FALSE(ops.renameNoReplace(root + "/missing.mp3", root + "/e.mp3"));
    EXPECT_EQ(allNames(root), (QStringList{"d.mp3", "taken.mp3"}));  // no claim left behind
}

// The stick is pulled between delete and restore: its mount point stays as
// a bare folder on the internal disk, and nothing may be put there.
TEST_P(OnStick, ARestoreWhileTheStickIsOutFailsAndWorksOnceItIsBack) {
    const QByteArray dataA = noise(4, 300000), dataB = noise(5, 400000);
    const QString a = put("A.mp3", dataA, 30);
    const QString b = put("B.mp3", dataB, 10);
    k().library.pathList.append(root + "/");
    load(0);
    k().actions.DeleteCurrentSong(false);
    load(indexOf(b));
    k().actions.DeleteCurrentSong(false);
    ASSERT_EQ(trashFiles(), (QStringList{"A.mp3", "B.mp3"}));

    ASSERT_TRUE(disk->unplug());
    ASSERT_TRUE(QDir(root).exists());
    const auto counts = k().actions.RestoreSelected({30});
    EXPECT_EQ(counts.restored, 0);
    EXPECT_EQ(counts.failed, 1);
    EXPECT_FALSE(k().actions.UndoLastDelete());
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(allNames(root).isEmpty());
    EXPECT_EQ(trashFiles(), (QStringList{"A.mp3", "B.mp3"}));
    EXPECT_EQ(k().trash.TrashList.size(), 2);
    EXPECT_EQ(logCount("Wiederherstellen: Datenträger nicht eingehängt: " + root), 2);

    ASSERT_TRUE(disk->plugIn());
    EXPECT_EQ(k().actions.RestoreSelected({30}).restored, 1);
    EXPECT_TRUE(k().actions.UndoLastDelete());
    EXPECT_EQ(sha1(readFile(a)), sha1(dataA));
    EXPECT_EQ(sha1(readFile(b)), sha1(dataB));
    EXPECT_TRUE(trashFiles().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Sticks, OnStick, ::testing::Values(Kind::Fat32, Kind::Exfat),
                         [](const auto& info) { return ScratchMount::name(info.param).toStdString(); });

class ReadOnlyFolder : public MountedFixture {
protected:
    void SetUp() override { mountOrSkip(Kind::Tmpfs); }
};

TEST_F(ReadOnlyFolder, DeletingLeavesNoCopyInTheTrashAndSaysWhy) {
    const QByteArray data = noise(6, 500000);
    const QString a = put("A.mp3", data, 30);
    ASSERT_TRUE(disk->makeReadOnly());
    ASSERT_FALSE(folderWritable(root));
    for (int attempt = 0; attempt < 3; ++attempt) {
        load(0);
        k().actions.DeleteCurrentSong(true);
    }
    EXPECT_EQ(sha1(readFile(a)), sha1(data));
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_EQ(logCount("Konnte Datei nicht löschen: " + a), 3);
    EXPECT_EQ(t.messages.errorBeeps, 3);
    EXPECT_EQ(t.view.song, "Kann A.mp3 nicht löschen - Ordner schreibgeschützt");
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_EQ(songPaths(), QStringList{a});

    // The next start finds nothing to adopt.
    rebuildKalvo(t, t.files);
    k().actions.CheckTrashFolder();
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
}

}  // namespace
