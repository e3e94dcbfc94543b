// A music folder on a share that stops answering: a FUSE mount whose every
// call waits until the test ends it. The scan and the bounded look at a path
// give it up instead of waiting with it, and pick it up again once it answers.
#include <gtest/gtest.h>

#include <QDir>
#include <QThread>

#include "base/DiskWait.h"
#include "fakes/Fakes.h"
#include "fixtures/SilentShare.h"
#include "library/FolderWalk.h"
#include "library/ListEdit.h"
#include "library/SongLibrary.h"
#include "shell/Kalvo.h"

namespace {

// The scan gives a silent folder up after half a second here.
const bool shortWait = [] {
    qputenv("KALVO2_DISK_WAIT_MS", "500");
    return true;
}();

int threadCount() { return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

// The threads of this process once those that have finished their work are
// gone (a finished thread lingers a moment before it leaves).
int settledThreads(int atMost = -1) {
    if (atMost < 0) QThread::msleep(200);
    int n = threadCount();
    for (int i = 0; i < 100 && atMost >= 0 && n > atMost; ++i) {
        QThread::msleep(20);
        n = threadCount();
    }
    return n;
}

// Waits (bounded) until every waiting thread has come back.
bool answersAgain() {
    for (int i = 0; i < 200 && anyStalled(); ++i) QThread::msleep(50);
    return !anyStalled();
}

}  // namespace

TEST(SilentFolder, BoundedLookGivesUpOnceAndStartsNoFurtherThreads) {
    ASSERT_TRUE(shortWait);
    QTemporaryDir temp;
    const QString share = temp.path() + QStringLiteral("/share/");
    QDir().mkpath(share + QStringLiteral("inner"));
    SilentShare silent(share);
    if (!silent.mounted()) GTEST_SKIP() << silent.why().toStdString();

    EXPECT_EQ(probePath(share + QStringLiteral("inner"), 200), PathKind::Silent);
    EXPECT_TRUE(isStalled(share + QStringLiteral("inner/")));
    EXPECT_TRUE(anyStalled());
    EXPECT_EQ(probePath(share + QStringLiteral("inner/x.mp3"), 200), PathKind::Silent);
    EXPECT_FALSE(isStalled(temp.path()));
    const int threads = settledThreads();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(probePath(share + QStringLiteral("inner"), 200), PathKind::Silent);
    EXPECT_LE(settledThreads(threads), threads) << "a stalled share must not gather waiting threads";
    EXPECT_EQ(probePath(temp.path(), 200), PathKind::Folder);

    silent.end();
    ASSERT_TRUE(answersAgain());
    EXPECT_EQ(probePath(share + QStringLiteral("inner")), PathKind::Folder);
    EXPECT_EQ(probePath(share + QStringLiteral("none")), PathKind::Missing);
}

TEST(SilentFolder, ScanAgesTheSilentFoldersSongsAndFindsThemOnceItAnswers) {
    TestKalvo t;
    Kalvo& k = *t.k;
    t.makeFile(QStringLiteral("local/a.mp3"), 100);
    const QString local = t.path(QStringLiteral("local/"));
    const QString share = t.path(QStringLiteral("nas/"));
    // Under the mount point: hidden while the share is silent, there once it
    // is gone again, as the share's own songs would be.
    t.makeFile(QStringLiteral("nas/b.mp3"), 200);
    t.makeFile(QStringLiteral("nas/deep/c.mp3"), 300);
    SilentShare silent(share);
    if (!silent.mounted()) GTEST_SKIP() << silent.why().toStdString();

    k.library.pathList.append(local);
    k.library.pathList.append(share);
    k.library.songList.append(SongEntry{share + QStringLiteral("b.mp3"), 77, 200});
    k.library.songList.append(SongEntry{share + QStringLiteral("deep/c.mp3"), 78, -3});

    auto presence = [&](const QString& path) {
        for (const SongEntry& e : k.library.songList.raw())
            if (e.filePath == path) return std::pair(e.randomKey, e.presence);
        return std::pair(0, 0);
    };
    const QString silentLine = QStringLiteral("_ListePfadeScannen: Verzeichnis antwortet nicht, übersprungen: ") + share;

    k.library.ListeAbgleichen();
    EXPECT_EQ(presence(local + QStringLiteral("a.mp3")).second, 100);
    EXPECT_EQ(presence(share + QStringLiteral("b.mp3")), std::pair(77, -1));
    EXPECT_EQ(presence(share + QStringLiteral("deep/c.mp3")), std::pair(78, -4));
    EXPECT_EQ(t.logLines().count(silentLine), 1);
    EXPECT_TRUE(isStalled(share));
    EXPECT_EQ(t.progress.opens, t.progress.closes);

    // Still stalled: skipped at once, without another waiting thread.
    const int threads = settledThreads();
    k.library.ListeAbgleichen();
    EXPECT_LE(settledThreads(threads), threads) << "a stalled share must not gather waiting threads";
    EXPECT_EQ(presence(share + QStringLiteral("b.mp3")), std::pair(77, -2));
    EXPECT_EQ(t.logLines().count(silentLine), 2);
    k.library.showSilentFolders();
    EXPECT_EQ(t.view.songText(), QStringLiteral("Verzeichnis antwortet nicht: ") + share);

    silent.end();
    ASSERT_TRUE(answersAgain());
    k.library.ListeAbgleichen();
    EXPECT_EQ(presence(share + QStringLiteral("b.mp3")), std::pair(77, 200));
    EXPECT_EQ(presence(share + QStringLiteral("deep/c.mp3")), std::pair(78, 300));
    EXPECT_FALSE(isStalled(share));
    EXPECT_EQ(t.logLines().count(silentLine), 2);
}

// Starting a song on a silent share does not reach the engine (whose load
// would wait with the share); the explorer passes over a silent folder.
TEST(SilentFolder, SongAndExplorerFolderOnASilentShareArePassedOver) {
    TestKalvo t;
    Kalvo& k = *t.k;
    const QString share = t.path(QStringLiteral("nas/"));
    t.makeFile(QStringLiteral("nas/inner/x.mp3"), 200);
    SilentShare silent(share);
    if (!silent.mounted()) GTEST_SKIP() << silent.why().toStdString();

    EXPECT_FALSE(k.playback.Spielen(share + QStringLiteral("inner/x.mp3")));
    EXPECT_TRUE(t.media.calls.filter(QStringLiteral("load")).isEmpty()) << t.media.calls.join(' ').toStdString();
    EXPECT_EQ(t.view.songText(), QStringLiteral("Verzeichnis antwortet nicht: ") + share + QStringLiteral("inner/"));
    EXPECT_TRUE(t.logLines().contains(QStringLiteral("Spielen: Verzeichnis antwortet nicht: ") + share +
                                      QStringLiteral("inner/")));

    EXPECT_EQ(usableExplorerPath(share + QStringLiteral("inner/"), QStringLiteral("/nowhere")), t.temp.path() + QStringLiteral("/"));

    silent.end();
    ASSERT_TRUE(answersAgain());
    EXPECT_EQ(usableExplorerPath(share + QStringLiteral("inner/"), QStringLiteral("/nowhere")),
              share + QStringLiteral("inner/"));
}
