#include <gtest/gtest.h>

#include <algorithm>

#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <vector>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

#include "library/ScanTestSupport.h"

namespace {

class Scan : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    QString root = t.path(QStringLiteral("music/"));

    void SetUp() override { QDir().mkpath(root); }
    void addPath(const QString& p) { k.library.pathList.append(p); }
    QStringList songs() const { return relativePaths(k.library.songList, root); }
};

TEST_F(Scan, PatternIsAPlainSubstringSearchAndFoldersAreNeverSongs) {
    for (const char* n : {"a.mp3", "b.MP3", "c.txt", "d", "e.mp", "f.3", "g.ogg", "h.Wav", ".mod",
                          "x.mp3/inner.wav", "noext./z"})
        t.makeFile(QStringLiteral("music/") + QString::fromUtf8(n));
    t.makeFile(QStringLiteral("outside.mp3"));  // reached only if ".." were walked
    addPath(root);
    k.library.ListeAbgleichen();
    // ".mod" has the extension "mod"; the folder x.mp3 is walked, not taken.
    EXPECT_EQ(songs(), (QStringList{".mod", "a.mp3", "b.MP3", "e.mp", "f.3", "h.Wav", "x.mp3/inner.wav"}));
    EXPECT_EQ(t.progress.opens, 1);
    EXPECT_EQ(t.progress.closes, 1);
    EXPECT_TRUE(t.progress.directories.contains(root + QStringLiteral("x.mp3/")));
    EXPECT_TRUE(t.progress.files.contains(QStringLiteral("inner.wav")));
}

TEST(SongPattern, ExtensionRule) {
    const QString pattern = songPatternText(QStringLiteral("*.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm"),
                                            QStringLiteral("*.mp3;*.mid;*.wav"));
    EXPECT_EQ(pattern, QStringLiteral("*.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm;*.mp3;*.mid;*.wav"));
    EXPECT_TRUE(matchesSongPattern(QStringLiteral("/m/Song.MP3"), pattern));
    EXPECT_TRUE(matchesSongPattern(QStringLiteral("/m/song.3"), pattern));
    EXPECT_FALSE(matchesSongPattern(QStringLiteral("/m/song"), pattern));
    EXPECT_FALSE(matchesSongPattern(QStringLiteral("/m/song."), pattern));
    EXPECT_FALSE(matchesSongPattern(QStringLiteral("/m.mp3/song"), pattern));
    EXPECT_FALSE(matchesSongPattern(QStringLiteral("C:\\m.mp3\\song"), pattern));
    EXPECT_FALSE(matchesSongPattern(QStringLiteral("/m/song.ogg"), pattern));
    EXPECT_EQ(fileExtension(QStringLiteral("/a.b/c.tar.gz")), QStringLiteral("gz"));
}

TEST_F(Scan, NestedPathListElementsYieldEachFileOnce) {
    t.makeFile(QStringLiteral("music/top.mp3"));
    t.makeFile(QStringLiteral("music/deep/er/est/low.mod"));
    addPath(root);
    addPath(root + QStringLiteral("deep/"));
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), (QStringList{"deep/er/est/low.mod", "top.mp3"}));
}

TEST_F(Scan, DirectoryWithoutTrailingSeparatorStillJoinsNamesCorrectly) {
    t.makeFile(QStringLiteral("music/a.mp3"));
    addPath(t.path(QStringLiteral("music")));  // as a hand-edited list may hold it
    addPath(QString());                       // never the root folder
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), QStringList{"a.mp3"});
    EXPECT_TRUE(t.logLines().contains(QStringLiteral("_ListePfadeScannen: kann Verzeichnis nicht untersuchen: ")));
}

TEST_F(Scan, RescanKeepsKeysAndOrderAndRenameMakesANewEntry) {
    t.random.script = {500, 100, 300};
    t.makeFile(QStringLiteral("music/a.mp3"), 10);
    t.makeFile(QStringLiteral("music/b.mp3"), 20);
    t.makeFile(QStringLiteral("music/c.mp3"), 30);
    addPath(root);
    t.view.zufall = true;
    k.library.ListeAbgleichen();
    const QVector<SongEntry> before = k.library.songList.raw();
    k.library.ListeAbgleichen();
    ASSERT_EQ(k.library.songList.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(k.library.songList.at(i).filePath, before[i].filePath);
        EXPECT_EQ(k.library.songList.at(i).randomKey, before[i].randomKey);
        EXPECT_EQ(k.library.songList.at(i).presence, before[i].presence);
    }
    ASSERT_TRUE(QFile::rename(root + "b.mp3", root + "bb.mp3"));
    t.random.script = {200};
    k.library.ListeAbgleichen();
    const SongEntry* oldName = findSong(k.library.songList, root + "b.mp3");
    const SongEntry* newName = findSong(k.library.songList, root + "bb.mp3");
    ASSERT_TRUE(oldName && newName);
    EXPECT_EQ(oldName->presence, -1);
    EXPECT_EQ(oldName->randomKey, before[1].randomKey);
    EXPECT_EQ(newName->randomKey, 200);
    EXPECT_EQ(newName->presence, 20);
}

TEST_F(Scan, NewSongsGetKeysTheListDoesNotHoldYet) {
    k.library.songList.append(SongEntry{root + "old.mp3", 300, -2});
    t.makeFile(QStringLiteral("music/a.mp3"));
    t.makeFile(QStringLiteral("music/b.mp3"));
    addPath(root);
    t.random.script = {300, 100, 100, 300, 200};  // twins of the list's keys are dealt again
    k.library.ListeAbgleichen();
    QList<int32_t> keys;
    for (const SongEntry& e : k.library.songList.raw()) keys << e.randomKey;
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (QList<int32_t>{100, 200, 300}));
}

TEST_F(Scan, TwinPathsInAListRefreshTheFirstTwin) {
    t.makeFile(QStringLiteral("music/a.mp3"), 55);
    addPath(root);
    k.library.songList.append(SongEntry{root + "a.mp3", 1, -3});
    k.library.songList.append(SongEntry{root + "a.mp3", 2, -3});
    k.library.ListeAbgleichen();
    ASSERT_EQ(k.library.songList.size(), 2);
    EXPECT_EQ(k.library.songList.at(0).randomKey, 1);
    EXPECT_EQ(k.library.songList.at(0).presence, 55);
    EXPECT_EQ(k.library.songList.at(1).presence, -4);
}

TEST_F(Scan, BackslashIsAnOrdinaryCharacterOfAFileName) {
    t.makeFile(QStringLiteral("music/AC\\DC - Thunderstruck.mp3"));
    t.makeFile(QStringLiteral("music/x.mp3\\notes"));  // its extension is "mp3\notes"
    addPath(root);
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), QStringList{QStringLiteral("AC\\DC - Thunderstruck.mp3")});
    EXPECT_EQ(fileExtension(root + "AC\\DC.mp3"), QStringLiteral("mp3"));
    EXPECT_FALSE(matchesSongPattern(QStringLiteral("/m/x.mp3\\notes"), QStringLiteral("*.mp3")));
    ASSERT_TRUE(k.playback.LiedBestimmen(QString()));
    EXPECT_EQ(t.view.song, QStringLiteral("AC\\DC - Thunderstruck.mp3"));
    EXPECT_EQ(t.view.path, root);
    EXPECT_EQ(filePart(QStringLiteral("C:\\m\\a.mp3")), QStringLiteral("C:\\m\\a.mp3"));
}

TEST_F(Scan, MissingFileIsKeptFor29ScansAndRemovedByThe30thAndComesBackWithItsKey) {
    t.makeFile(QStringLiteral("music/gone.mp3"), 7);
    t.makeFile(QStringLiteral("music/back.mp3"), 8);
    addPath(root);
    k.library.ListeAbgleichen();
    const int32_t backKey = findSong(k.library.songList, root + "back.mp3")->randomKey;
    QFile::rename(root + "back.mp3", t.path("aside.mp3"));
    ASSERT_TRUE(QFile::remove(root + "gone.mp3"));
    for (int scan = 1; scan <= 29; ++scan) {
        k.library.ListeAbgleichen();
        const SongEntry* e = findSong(k.library.songList, root + "gone.mp3");
        ASSERT_NE(e, nullptr) << "scan " << scan;
        EXPECT_EQ(e->presence, -scan);
    }
    QFile::rename(t.path("aside.mp3"), root + "back.mp3");
    k.library.ListeAbgleichen();
    EXPECT_EQ(findSong(k.library.songList, root + "gone.mp3"), nullptr);
    const SongEntry* back = findSong(k.library.songList, root + "back.mp3");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->presence, 8);
    EXPECT_EQ(back->randomKey, backKey);
}

TEST_F(Scan, MissingPathListDirectoryIsLoggedEachScanAndItsEntriesAge) {
    const QString missing = t.path(QStringLiteral("nowhere/"));
    addPath(missing);
    k.library.songList.append(SongEntry{missing + "old.mp3", 5, 100});
    k.library.ListeAbgleichen();
    k.library.ListeAbgleichen();
    const QString line = QStringLiteral("_ListePfadeScannen: kann Verzeichnis nicht untersuchen: ") + missing;
    EXPECT_EQ(t.logLines().count(line), 2);
    ASSERT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.library.songList.at(0).presence, -2);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(Scan, EmptyPathListStillAgesAndPurges) {
    k.library.songList.append(SongEntry{root + "a.mp3", 1, 100});
    k.library.songList.append(SongEntry{root + "b.mp3", 2, -29});
    k.library.songList.append(SongEntry{root + "c.mp3", 3, INT32_MIN});
    k.library.songList.append(SongEntry{root + "d.mp3", 4, 0});
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), (QStringList{"a.mp3", "d.mp3"}));
    EXPECT_EQ(k.library.songList.at(0).presence, -1);
    EXPECT_EQ(k.library.songList.at(1).presence, -1);
}

TEST_F(Scan, ZeroSizeFileStaysButIsNeverPresent) {
    t.makeFile(QStringLiteral("music/empty.mp3"), 0);
    addPath(root);
    for (int i = 0; i < 35; ++i) k.library.ListeAbgleichen();
    ASSERT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.library.songList.at(0).presence, 0);
}

TEST_F(Scan, ChangedPatternsPurgeAtTheNextScanWhetherTheFileExistsOrNot) {
    t.makeFile(QStringLiteral("music/a.wav"));
    t.makeFile(QStringLiteral("music/b.mp3"));
    addPath(root);
    k.library.songList.append(SongEntry{t.path("elsewhere/c.WAV"), 9, 100});
    k.library.ListeAbgleichen();
    EXPECT_EQ(k.library.songList.size(), 3);
    k.settings.WinMediaDateiPattern = QStringLiteral("*.mp3;*.mid");
    k.library.ListePfadeScannen(root);  // the walk alone removes nothing
    EXPECT_EQ(k.library.songList.size(), 3);
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), (QStringList{"b.mp3"}));
}

TEST_F(Scan, WalkAloneAddsNewFilesAtTheEndWithoutSorting) {
    t.makeFile(QStringLiteral("music/b.mp3"));
    addPath(root);
    k.library.ListeAbgleichen();
    t.makeFile(QStringLiteral("music/a.mp3"), 3);
    k.library.ListePfadeScannen(root);
    EXPECT_EQ(songs(), (QStringList{"b.mp3", "a.mp3"}));
    EXPECT_EQ(k.library.songList.at(1).presence, 3);
}

TEST_F(Scan, ProgressWindowThatCannotOpenLeavesTheListAlone) {
    t.makeFile(QStringLiteral("music/a.mp3"));
    addPath(root);
    k.library.songList.append(SongEntry{root + "z.mp3", 1, 50});
    t.progress.canOpen = false;
    k.library.ListeAbgleichen();
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, QStringLiteral("Fehler - Kann Fenster WndPfadEru nicht öffnen!"));
    EXPECT_FALSE(t.messages.shown[0].ask);
    ASSERT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.library.songList.at(0).presence, 50);
}

TEST(ScanHooks, LongScanIsLoggedWithDurationAndCount) {
    HookedKalvo h;
    QDir().mkpath(h.t.path("m"));
    h.t.makeFile("m/a.mp3");
    h.k->library.pathList.append(h.t.path("m/"));
    h.k->library.songList.append(SongEntry{h.t.path("x/absent.mp3"), 1, 5});
    h.progress.onDirectory = [&](const QString&) { h.t.clock.advance(3001); };
    h.k->library.ListeAbgleichen();
    EXPECT_TRUE(h.t.logLines().contains(QStringLiteral("Pfad eruiren Dauer ca: 3001ms - Anzahl Dateien: 2")));
    h.progress.onDirectory = [&](const QString&) { h.t.clock.advance(3000); };
    h.k->library.ListeAbgleichen();
    EXPECT_EQ(h.t.logLines().filter(QStringLiteral("Pfad eruiren")).size(), 1);
}

TEST(ScanHooks, FolderVanishingDuringTheScanIsHandled) {
    HookedKalvo h;
    for (const char* n : {"m/a/1.mp3", "m/b/2.mp3", "m/b/c/3.mp3", "m/d/4.mp3"}) h.t.makeFile(QString::fromUtf8(n));
    const QString m = h.t.path("m/");
    h.k->library.pathList.append(m);
    // Whichever of a, b, d is shown first removes the other two. The walk
    // runs on a thread of its own, so it may have met them already; either
    // way nothing breaks.
    h.progress.onDirectory = [&](const QString& dir) {
        if (dir == m) return;
        for (const char* n : {"a", "b", "d"})
            if (!dir.startsWith(m + QLatin1String(n))) QDir(m + QLatin1String(n)).removeRecursively();
    };
    h.k->library.ListeAbgleichen();
    EXPECT_GE(h.k->library.songList.size(), 1);
    EXPECT_LE(h.k->library.songList.size(), 4);
}

// Runs body as an ordinary user (root reads every folder): in a child
// process when the tests run as root. body returns whether all held.
bool asOrdinaryUser(const QString& tree, const std::function<bool()>& body) {
    if (::geteuid() != 0) return body();
    const uid_t nobody = 65534;
    ::nftw(QFile::encodeName(tree).constData(),
           [](const char* p, const struct stat*, int, struct FTW*) { return ::lchown(p, 65534, 65534); }, 32,
           FTW_PHYS);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(Scan, UnreadableSubfolderIsLoggedAndSkipped) {
    t.makeFile(QStringLiteral("music/ok.mp3"));
    t.makeFile(QStringLiteral("music/locked/no.mp3"));
    t.makeFile(QStringLiteral("music/locked/deeper/no.mp3"));
    addPath(root);
    ASSERT_TRUE(QFile::setPermissions(root + "locked", QFileDevice::WriteOwner));
    const bool held = asOrdinaryUser(t.temp.path(), [&] {
        k.library.ListeAbgleichen();
        return songs() == QStringList{"ok.mp3"} &&
               t.logLines() == QStringList{QStringLiteral("_ListePfadeScannen: kann Verzeichnis nicht untersuchen: ") +
                                           root + "locked/"};
    });
    QFile::setPermissions(root + "locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(held);
}

TEST_F(Scan, SymlinkLoopsAndLinksToWalkedFoldersAreWalkedOnce) {
    t.makeFile(QStringLiteral("music/a/one.mp3"));
    t.makeFile(QStringLiteral("music/b/two.mp3"));
    ASSERT_EQ(::symlink("..", (root + "a/up").toLocal8Bit().constData()), 0);       // loop
    ASSERT_EQ(::symlink("../a", (root + "b/again").toLocal8Bit().constData()), 0);  // walked elsewhere
    ASSERT_EQ(::symlink("nothing", (root + "dangling.mp3").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink("a/one.mp3", (root + "alias.mp3").toLocal8Bit().constData()), 0);
    addPath(root);
    k.library.ListeAbgleichen();
    const QStringList s = songs();
    EXPECT_EQ(s.filter("one.mp3").size(), 1) << s.join(',').toStdString();
    EXPECT_EQ(s.filter("two.mp3").size(), 1);
    EXPECT_TRUE(s.contains("alias.mp3"));  // a link to a file is a file
    EXPECT_EQ(s.size(), 3);
}

TEST_F(Scan, FilesOf2GiBAndMoreArePresentBelowKeepTheirSize) {
    const QString big = t.makeFile(QStringLiteral("music/big.wav"), 3LL << 30);  // sparse
    t.makeFile(QStringLiteral("music/edge.wav"), (2LL << 30));
    t.makeFile(QStringLiteral("music/below.wav"), (2LL << 30) - 2);
    ASSERT_EQ(QFileInfo(big).size(), 3LL << 30);
    addPath(root);
    k.library.ListeAbgleichen();
    ASSERT_EQ(songs(), (QStringList{"below.wav", "big.wav", "edge.wav"}));
    EXPECT_EQ(k.library.songList.at(0).presence, 2147483646);
    EXPECT_EQ(k.library.songList.at(1).presence, 2147483647);
    EXPECT_EQ(k.library.songList.at(2).presence, 2147483647);
    EXPECT_EQ(presenceOfSize((4LL << 30) + 5), 2147483647);  // not the low 32 bits
}

TEST_F(Scan, NamesTheListFileCannotCarryAreSkippedWithOneLogLineEach) {
    t.makeFile(QStringLiteral("music/good.mp3"));
    const QByteArray dir = QFile::encodeName(root);
    for (const char* bad : {"bad\xff.mp3", "pi|pe.mp3", "line\nbreak.mp3", "cr\rx.mp3"}) {
        FILE* f = std::fopen((dir + bad).constData(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    ASSERT_EQ(::mkdir((dir + "sub|dir").constData(), 0755), 0);
    t.makeFile(QStringLiteral("music/sub|dir/inner.mp3"));
    t.makeFile(QStringLiteral("music/bäd.txt"));  // not a song: not looked at
    addPath(root);
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), (QStringList{"good.mp3"}));
    EXPECT_EQ(t.logLines().filter(QStringLiteral("übersprungen")).size(), 5);
}

TEST_F(Scan, UmlautNamesRoundTrip) {
    t.makeFile(QStringLiteral("music/Größe/Käse.mp3"));
    addPath(root);
    k.library.ListeAbgleichen();
    EXPECT_EQ(songs(), (QStringList{QStringLiteral("Größe/Käse.mp3")}));
    EXPECT_TRUE(QFileInfo::exists(k.library.songList.at(0).filePath));
}

TEST_F(Scan, DirectoryWithManyEntries) {
    const QByteArray dir = QFile::encodeName(root + "many/");
    ASSERT_EQ(::mkdir(dir.constData(), 0755), 0);
    const int count = 30000;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = dir + QByteArray::number(i) + (i % 3 ? ".mp3" : ".jpg");
        FILE* f = std::fopen(name.constData(), "w");
        ASSERT_NE(f, nullptr);
        std::fputc('x', f);
        std::fclose(f);
    }
    addPath(root);
    k.library.ListeAbgleichen();
    EXPECT_EQ(k.library.songList.size(), count - (count + 2) / 3);
    k.library.ListeAbgleichen();
    EXPECT_EQ(k.library.songList.size(), count - (count + 2) / 3);
    for (const SongEntry& e : k.library.songList.raw()) ASSERT_EQ(e.presence, 1);
}

}  // namespace

namespace {

TEST(ScanDepth, VeryDeepTreesEndWithoutCrash) {
    TestKalvo t;
    const QString root = t.path(QStringLiteral("deep/"));
    QDir().mkpath(root);
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const int depth = 2200;  // paths beyond PATH_MAX
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        if (i == 5) ::close(::openat(fd, "low.mp3", O_WRONLY | O_CREAT, 0644));
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(::openat(fd, "bottom.mp3", O_WRONLY | O_CREAT, 0644));
    ::close(fd);
    t.k->library.pathList.append(root);
    t.k->library.ListeAbgleichen();
    const QStringList found = relativePaths(t.k->library.songList, root);
    EXPECT_TRUE(found.contains(QStringLiteral("d/d/d/d/d/low.mp3")));
    EXPECT_LE(found.size(), 2);
    // Clean up from the bottom: QTemporaryDir cannot remove paths this long.
    QByteArray chain = QFile::encodeName(root);
    std::vector<int> fds{::open(chain.constData(), O_RDONLY | O_DIRECTORY)};
    for (int i = 0; i < depth; ++i) fds.push_back(::openat(fds.back(), "d", O_RDONLY | O_DIRECTORY));
    ::unlinkat(fds.back(), "bottom.mp3", 0);
    for (int i = depth; i > 0; --i) {
        ::close(fds[size_t(i)]);
        ::unlinkat(fds[size_t(i - 1)], "low.mp3", 0);
        ::unlinkat(fds[size_t(i - 1)], "d", AT_REMOVEDIR);
    }
    ::close(fds[0]);
}

}  // namespace

// The player's own trash is never walked: not inside a list folder (the home
// folder is the usual choice), not through a link, not as a list folder of
// its own. Trashed songs would otherwise play again and be trashed into
// themselves.
TEST(ScanTrash, TheTrashFolderIsLeftOutOfEveryScan) {
    TestKalvo t;
    Kalvo& k = *t.k;
    const QString home = t.path(QStringLiteral("data/"));
    t.makeFile(QStringLiteral("data/Musik/a.mp3"), 100);
    t.makeFile(QStringLiteral("data/Kalvo2/Kalvo-Kübel/alt.mp3"), 200);
    ASSERT_TRUE(QFile::link(k.shell.TrashFolder, t.path(QStringLiteral("data/Musik/Kübel-Link"))));
    k.library.pathList.append(home);
    k.library.pathList.append(k.shell.TrashFolder);
    k.library.ListeAbgleichen();
    EXPECT_EQ(relativePaths(k.library.songList, home), QStringList{QStringLiteral("Musik/a.mp3")});
    EXPECT_TRUE(t.logLines().contains(QStringLiteral("_ListePfadeScannen: der Papierkorb wird nicht durchsucht: ") +
                                      k.shell.TrashFolder));

    // A walk of its own leaves it out too.
    k.library.songList.clear();
    k.library.ListePfadeScannen(home);
    EXPECT_EQ(relativePaths(k.library.songList, home), QStringList{QStringLiteral("Musik/a.mp3")});
}
