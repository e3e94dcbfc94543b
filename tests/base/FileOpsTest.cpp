#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "base/PartialCopy.h"
#include "base/SafeMove.h"
#include "fakes/CrossDeviceFileOps.h"

namespace {

class RealFileOps : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FileOps ops;
    QString p(const QString& name) { return dir.path() + "/" + name; }
    static void write(const QString& path, const QByteArray& data) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList names(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
};

TEST_F(RealFileOps, RenameAndMoveNeverReplaceAnExistingFile) {
    write(p("a"), "A");
    write(p("b"), "B");
    EXPECT_FALSE(ops.renameNoReplace(p("a"), p("b")));
    EXPECT_EQ(moveWithoutLoss(ops, p("a"), p("b")), MoveResult::NotMoved);
    EXPECT_EQ(read(p("a")), "A");
    EXPECT_EQ(read(p("b")), "B");
    EXPECT_TRUE(ops.renameNoReplace(p("a"), p("c")));
    EXPECT_EQ(read(p("c")), "A");
    EXPECT_FALSE(QFile::exists(p("a")));
    EXPECT_EQ(moveWithoutLoss(ops, p("c"), p("nofolder/d")), MoveResult::NotMoved);  // folders are not created
    EXPECT_EQ(read(p("c")), "A");
    EXPECT_EQ(moveWithoutLoss(ops, p("missing"), p("e")), MoveResult::NotMoved);
}

TEST_F(RealFileOps, CopyReplacesFlushesAndLeavesNothingHalfDone) {
    QByteArray big(3 << 20, 'x');
    big[12345] = 'y';
    write(p("src"), big);
    write(p("dst"), "old");
    EXPECT_TRUE(ops.copyFile(p("src"), p("dst")));
    EXPECT_EQ(read(p("dst")), big);
    EXPECT_FALSE(ops.copyFile(p("missing"), p("dst2")));
    QDir().mkpath(p("folder"));
    EXPECT_FALSE(ops.copyFile(p("folder"), p("dst3")));
    EXPECT_EQ(names(dir.path()), (QStringList{"dst", "src"}));
    EXPECT_FALSE(ops.removeFile(p("folder")));
    EXPECT_TRUE(QDir(p("folder")).exists());
}

TEST_F(RealFileOps, AcrossFileSystemsAMoveCopiesKeepsTimeAndNeverReplaces) {
    const QString shm = otherFileSystemFolder(dir.path());
    if (shm.isEmpty()) GTEST_SKIP() << "no tmpfs on another device at /dev/shm";
    QTemporaryDir other(shm + "/kalvo-test-XXXXXX");
    ASSERT_TRUE(other.isValid());
    QByteArray data(5 << 20, 'm');
    write(p("song.mp3"), data);
    QFile f(p("song.mp3"));
    const QDateTime old = QDateTime::fromSecsSinceEpoch(1500000000);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    f.close();

    const QString there = other.path() + "/song.mp3";
    EXPECT_FALSE(ops.renameNoReplace(p("song.mp3"), there));  // a rename cannot cross
    EXPECT_EQ(moveWithoutLoss(ops, p("song.mp3"), there), MoveResult::Moved);
    EXPECT_FALSE(QFile::exists(p("song.mp3")));
    EXPECT_EQ(read(there), data);
    EXPECT_EQ(QFileInfo(there).lastModified().toSecsSinceEpoch(), 1500000000);
    EXPECT_EQ(names(other.path()), QStringList{"song.mp3"});

    write(p("song.mp3"), "second");
    EXPECT_EQ(moveWithoutLoss(ops, p("song.mp3"), there), MoveResult::NotMoved);
    EXPECT_EQ(read(there), data);
    EXPECT_EQ(read(p("song.mp3")), "second");

    EXPECT_EQ(moveWithoutLoss(ops, p("song.mp3"), other.path() + "/b.mp3"), MoveResult::Moved);
    EXPECT_EQ(read(other.path() + "/b.mp3"), "second");
    EXPECT_EQ(moveWithoutLoss(ops, there, p("back.mp3")), MoveResult::Moved);
    EXPECT_EQ(read(p("back.mp3")), data);
    EXPECT_EQ(names(other.path()), QStringList{"b.mp3"});
}

TEST_F(RealFileOps, EachFailingStepOfASafeMoveKeepsTheSource) {
    write(p("a/song.mp3"), "S");
    QDir().mkpath(p("b"));
    CrossDeviceFileOps f;
    f.failCopy = true;
    EXPECT_EQ(moveWithoutLoss(f, p("a/song.mp3"), p("b/song.mp3")), MoveResult::NotMoved);
    f.failCopy = false;
    f.failRename = true;
    EXPECT_EQ(moveWithoutLoss(f, p("a/song.mp3"), p("b/song.mp3")), MoveResult::NotMoved);
    EXPECT_TRUE(names(p("b")).isEmpty());  // the temporary copy went again
    f.failRename = false;
    f.failRemove = true;
    EXPECT_EQ(moveWithoutLoss(f, p("a/song.mp3"), p("b/song.mp3")), MoveResult::CopyKept);
    EXPECT_EQ(read(p("a/song.mp3")), "S");
    EXPECT_EQ(read(p("b/song.mp3")), "S");
    f.failRemove = false;
    EXPECT_EQ(moveWithoutLoss(f, p("a/song.mp3"), p("b/song.mp3")), MoveResult::NotMoved);
    EXPECT_EQ(moveWithoutLoss(f, p("a/song.mp3"), p("b/other.mp3")), MoveResult::Moved);
    EXPECT_FALSE(QFile::exists(p("a/song.mp3")));
    EXPECT_EQ(names(p("b")), (QStringList{"other.mp3", "song.mp3"}));
}

// A file system with neither RENAME_NOREPLACE nor hard links (FAT, exFAT):
// every rename takes the road of the exclusive claim, on any disk.
class ClaimRoadFileOps : public FileOps {
protected:
    AtomicRename renameAtomically(const QString&, const QString&) override { return AtomicRename::Unsupported; }
};

TEST_F(RealFileOps, WithoutAtomicRenamesTheClaimNeverReplacesAFileNorStays) {
    ClaimRoadFileOps fat;
    write(p("a"), "A");
    write(p("b"), "B");
    EXPECT_FALSE(fat.renameNoReplace(p("a"), p("b")));
    EXPECT_EQ(moveWithoutLoss(fat, p("a"), p("b")), MoveResult::NotMoved);
    EXPECT_EQ(read(p("a")), "A");
    EXPECT_EQ(read(p("b")), "B");
    EXPECT_TRUE(fat.renameNoReplace(p("a"), p("c")));
    EXPECT_EQ(read(p("c")), "A");
    EXPECT_FALSE(fat.renameNoReplace(p("missing"), p("d")));
    QDir().mkpath(p("folder"));
    EXPECT_FALSE(fat.renameNoReplace(p("folder"), p("e")));  // claimed, then the rename fails
    EXPECT_EQ(names(dir.path()), (QStringList{"b", "c"}));   // no claim left behind

    const QString shm = otherFileSystemFolder(dir.path());
    if (shm.isEmpty()) return;
    QTemporaryDir other(shm + "/kalvo-test-XXXXXX");
    ASSERT_TRUE(other.isValid());
    EXPECT_EQ(moveWithoutLoss(fat, p("c"), other.path() + "/c"), MoveResult::Moved);
    EXPECT_EQ(read(other.path() + "/c"), "A");
    EXPECT_EQ(names(other.path()), QStringList{"c"});
    EXPECT_EQ(names(dir.path()), QStringList{"b"});
}

// The move asks the seam whether the target is taken, so a fake decides.
TEST_F(RealFileOps, AMoveAsksTheFileOperationsWhetherTheTargetIsTaken) {
    struct TakenEverywhere : CrossDeviceFileOps {
        bool nameTaken(const QString&) override { return true; }
    } f;
    write(p("a/song.mp3"), "S");
    QDir().mkpath(p("b"));
    EXPECT_EQ(moveWithoutLoss(f, p("a/song.mp3"), p("b/song.mp3")), MoveResult::NotMoved);
    EXPECT_EQ(f.copies, 0);
    EXPECT_TRUE(names(p("b")).isEmpty());
}

TEST(PartialCopyNames, AreHiddenBesideTheTargetAndRecognised) {
    EXPECT_EQ(partialCopyName("/t/Lied.mp3"), "/t/.Lied.mp3.kalvo-part");
    EXPECT_TRUE(isPartialCopyName(".Lied.mp3.kalvo-part"));
    EXPECT_FALSE(isPartialCopyName("Lied.mp3.kalvo-part"));
    EXPECT_FALSE(isPartialCopyName(".kalvo-part"));
    EXPECT_FALSE(isPartialCopyName(".Lied.mp3"));
}

}  // namespace
