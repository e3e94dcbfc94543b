// The scan and the list file as functions over bare lists: no player
// context, only what they are handed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fakes/Fakes.h"
#include "library/FolderScan.h"
#include "library/ListFile.h"

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

TEST(ListFileFunctions, AFailedReadChangesNothingAndAFailedWriteSaysWhyAndKeepsTheOldFile) {
    QTemporaryDir dir;
    ListResume resume{QStringLiteral("/m/a.mp3"), 7, 80};
    PathList paths;
    paths.append(QStringLiteral("/m/"));
    SongList songs;
    songs.append(SongEntry{QStringLiteral("/m/a.mp3"), 7, 1});
    EXPECT_FALSE(readListFile(dir.path() + QStringLiteral("/missing.txt"), resume, paths, songs));
    EXPECT_EQ(resume.lastSongPath, QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(resume.volume, 80);
    EXPECT_EQ(paths.size(), 1);
    EXPECT_EQ(songs.size(), 1);

    QString why;
    EXPECT_FALSE(writeListFile(dir.path() + QStringLiteral("/no/folder.txt"), resume, paths, songs, why));
    EXPECT_FALSE(why.isEmpty());

    const QString file = dir.path() + QStringLiteral("/Rock.txt");
    ASSERT_TRUE(writeListFile(file, resume, paths, songs, why));
    ListResume back;
    PathList backPaths;
    SongList backSongs;
    ASSERT_TRUE(readListFile(file, back, backPaths, backSongs));
    EXPECT_EQ(back.lastSongPath, resume.lastSongPath);
    EXPECT_EQ(back.lastSongKey, 7);
    EXPECT_EQ(back.volume, 80);
    ASSERT_EQ(backSongs.size(), 1);
    EXPECT_EQ(backSongs.at(0).filePath, QStringLiteral("/m/a.mp3"));
}

TEST(ScanFunctions, WalkAFolderListedTwiceOnceLeaveTheTrashOutAndDropLongMissedSongs) {
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/music/");
    touch(root + QStringLiteral("a.mp3"));
    touch(root + QStringLiteral("Alben/b.mp3"));
    touch(root + QStringLiteral("trash/c.mp3"));
    touch(root + QStringLiteral("notes.txt"));
    PathList paths;
    paths.append(root);
    paths.append(root);
    SongList songs;
    songs.append(SongEntry{root + QStringLiteral("gone.mp3"), 5, -29});
    songs.append(SongEntry{root + QStringLiteral("a.mp3"), 6, -3});
    ScriptedRandom random;
    FakeProgress progress;
    QStringList logged;
    const ScanNeeds needs{QStringLiteral("*.mod;*.mp3"), root + QStringLiteral("trash/"), random, progress,
                          [&](const QString& line) { logged << line; }};

    reconcileSongs(paths, songs, needs);

    QStringList found;
    for (const SongEntry& e : songs.raw()) found << e.filePath + QLatin1Char('|') + QString::number(e.randomKey);
    found.sort();
    EXPECT_EQ(found, (QStringList{root + QStringLiteral("Alben/b.mp3|1000"), root + QStringLiteral("a.mp3|6")}));
    EXPECT_TRUE(progress.directories.contains(root));
    EXPECT_TRUE(logged.isEmpty()) << logged.join(QLatin1Char('\n')).toStdString();

    scanFolder(songs, root + QStringLiteral("trash"), needs);  // the trash itself: logged, not walked
    EXPECT_EQ(songs.size(), 2);
    EXPECT_EQ(logged, QStringList{QStringLiteral("_ListePfadeScannen: der Papierkorb wird nicht durchsucht: ") + root +
                                  QStringLiteral("trash/")});
}

}  // namespace
