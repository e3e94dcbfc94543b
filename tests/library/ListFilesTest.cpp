#include <gtest/gtest.h>

#include <QFile>

#include "library/ScanTestSupport.h"
#include "base/PreferenceFile.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class ListFiles : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    SongLibrary& lib = k.library;
    QString root = t.path(QStringLiteral("music/"));
    QString listFile = t.path(QStringLiteral("lists/Rock.txt"));

    void SetUp() override { QDir().mkpath(t.path("lists")); }
    QStringList shownTexts() const {
        QStringList out;
        for (const auto& m : t.messages.shown) out << m.text;
        return out;
    }
};

TEST(ListNumber, SignsBasesAndWrapping) {
    EXPECT_EQ(readListNumber(QStringLiteral("123")), 123);
    EXPECT_EQ(readListNumber(QStringLiteral(" \t-12abc")), -12);
    EXPECT_EQ(readListNumber(QStringLiteral("+7")), 7);
    EXPECT_EQ(readListNumber(QStringLiteral("$10")), 16);
    EXPECT_EQ(readListNumber(QStringLiteral("$fF")), 255);
    EXPECT_EQ(readListNumber(QStringLiteral("-$10")), -16);
    EXPECT_EQ(readListNumber(QStringLiteral("%101")), 5);
    EXPECT_EQ(readListNumber(QStringLiteral("%102")), 2);
    EXPECT_EQ(readListNumber(QStringLiteral("$FFFFFFFF")), -1);
    EXPECT_EQ(readListNumber(QStringLiteral("2147483648")), INT32_MIN);
    EXPECT_EQ(readListNumber(QStringLiteral("4294967297")), 1);
    EXPECT_EQ(readListNumber(QStringLiteral("99999999999999999999")), 1661992959);
    EXPECT_EQ(readListNumber(QString()), 0);
    EXPECT_EQ(readListNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(readListNumber(QStringLiteral("$")), 0);
    EXPECT_EQ(readListNumber(QStringLiteral("- 5")), 0);
}

TEST_F(ListFiles, SaveWritesTheGroupsAndKeysInOrder) {
    lib.listFileName = listFile;
    lib.pathList.append(QStringLiteral("/m/"));
    lib.songList.append(SongEntry{QStringLiteral("/m/ä.mp3"), -5, 1234});
    lib.songList.append(SongEntry{QStringLiteral("/m/b.mod"), 2147483647, -3});
    k.playback.lastSongPath = QStringLiteral("/m/b.mod");
    k.playback.lastSongKey = 77;
    k.playback.volume = 64;
    t.clock.local += 1000;
    lib.ListeSpeichern(false);
    const QByteArray expected =
        "\xEF\xBB\xBF\r\n[Kalvo]\r\nZuletztGespielt = /m/b.mod\r\nZuletztZufaelligGespielt = 77\r\n"
        "Lautstaerke = 64\r\n[Pfade]\r\n0 = /m/\r\n[Lieder]\r\n0 = /m/\xC3\xA4.mp3|-5|1234\r\n"
        "1 = /m/b.mod|2147483647|-3\r\n";
    EXPECT_EQ(readAll(listFile), expected);
    EXPECT_EQ(k.shell.lastListSave, t.clock.local);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(ListFiles, ListWithoutSongsHasNoLiederGroupAndEmptyPathListWritesNothing) {
    lib.listFileName = listFile;
    lib.songList.append(SongEntry{QStringLiteral("/m/a.mp3"), 1, 1});
    const qint64 before = k.shell.lastListSave;
    t.clock.local += 500;
    lib.ListeSpeichern(false);
    EXPECT_FALSE(QFile::exists(listFile));
    EXPECT_EQ(k.shell.lastListSave, before);
    lib.songList.clear();
    lib.pathList.append(QStringLiteral("/m/"));
    lib.ListeSpeichern(true);
    EXPECT_FALSE(readAll(listFile).contains("Lieder"));
    EXPECT_TRUE(readAll(listFile).contains("[Pfade]"));
}

TEST_F(ListFiles, SaveFailureIsShownUnlessQuietAndKeepsLastSave) {
    lib.listFileName = t.path(QStringLiteral("no/such/folder/x.txt"));
    lib.pathList.append(QStringLiteral("/m/"));
    const qint64 before = k.shell.lastListSave;
    t.clock.local += 500;
    lib.ListeSpeichern(true);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    lib.ListeSpeichern(false);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("Fehler - Kann Liste nicht speichern: ") + lib.listFileName});
    EXPECT_EQ(k.shell.lastListSave, before);
}

TEST_F(ListFiles, SaveAndLoadRoundTrip) {
    t.makeFile(QStringLiteral("music/b.mp3"), 20);
    t.makeFile(QStringLiteral("music/A.mp3"), 10);
    t.makeFile(QStringLiteral("music/sub/c.xm"), 30);
    lib.listFileName = listFile;
    lib.pathList.append(root);
    lib.pathList.append(t.path(QStringLiteral("gone/")));
    lib.songList.append(SongEntry{t.path(QStringLiteral("gone/x.mp3")), -4, -7});
    lib.ListeAbgleichen();
    k.playback.volume = 33;
    k.playback.lastSongPath = root + "b.mp3";
    k.playback.lastSongKey = 1001;
    lib.ListeSpeichern(false);
    const QVector<QString> paths = lib.pathList.raw();
    const QVector<SongEntry> songs = lib.songList.raw();

    lib.ListeLeeren();
    k.playback.volume = 0;
    lib.ListeLaden(listFile);
    EXPECT_EQ(lib.listFileName, listFile);
    EXPECT_EQ(k.settings.LetzteListenDatei, listFile);
    EXPECT_EQ(t.view.listName, QStringLiteral("Rock.txt"));
    EXPECT_EQ(k.playback.volume, 33);
    EXPECT_EQ(t.view.volume, 33);
    EXPECT_EQ(lib.pathList.raw(), paths);
    ASSERT_EQ(lib.songList.size(), songs.size());
    for (int i = 0; i < songs.size(); ++i) {
        EXPECT_EQ(lib.songList.at(i).filePath, songs[i].filePath);
        EXPECT_EQ(lib.songList.at(i).randomKey, songs[i].randomKey);
        // The scan after loading ages the absent entry once more.
        EXPECT_EQ(lib.songList.at(i).presence, songs[i].presence > 0 ? songs[i].presence : songs[i].presence - 1);
    }
    EXPECT_TRUE(k.playback.currentSong.isEmpty());
}

TEST_F(ListFiles, HandEditedListLoadsByTheFormatRules) {
    // No BOM (Latin-1), no "Kalvo" group, equal key names, odd numbers.
    writeAll(listFile,
             "[pfade]\n x = /m1/\nx=/m2/\n; comment\n[Lieder]\n"
             "s = /m1/a.mp3|$10|%101\n"
             "s = /m1/b.mp3\n"
             "s = /m1/c.mp3|-3\n"
             "s = /m1/d.mp3|7|8|extra\n"
             "s = /m1/\xE4.mp3| 12 |x\n"
             "[Pfade]\n0 = /ignored/\n");
    t.view.zufall = true;
    t.random.script = {};
    lib.ListeLaden(listFile);
    EXPECT_EQ(lib.pathList.raw(), (QVector<QString>{"/m1/", "/m2/"}));
    EXPECT_EQ(k.playback.volume, 50);
    EXPECT_EQ(t.view.volume, 50);
    // After the scan: every entry aged by one, sorted by key.
    QStringList got;
    for (const SongEntry& e : lib.songList.raw())
        got << QStringLiteral("%1|%2|%3").arg(e.filePath).arg(e.randomKey).arg(e.presence);
    EXPECT_EQ(got, (QStringList{"/m1/c.mp3|-3|-1", "/m1/b.mp3|0|-1", "/m1/d.mp3|7|-1",
                                QStringLiteral("/m1/ä.mp3|12|-1"), "/m1/a.mp3|16|-1"}));
}

TEST_F(ListFiles, GarbageAndEmptyFilesLoadWithoutHarm) {
    QByteArray garbage;
    for (int i = 0; i < 200000; ++i) garbage.append(char((i * 7919) % 256));
    writeAll(listFile, garbage);
    lib.ListeLaden(listFile);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    writeAll(listFile, QByteArray());
    lib.ListeLaden(listFile);
    EXPECT_EQ(lib.pathList.size(), 0);
    EXPECT_EQ(lib.songList.size(), 0);
    EXPECT_EQ(k.playback.volume, 50);
    writeAll(listFile, "\xEF\xBB\xBF[Lieder]\r\n=\r\n|||\r\n");
    lib.ListeLaden(listFile);
    EXPECT_EQ(lib.songList.size(), 0);  // empty paths have no extension: purged
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(ListFiles, ListThatCannotBeOpenedIsReportedAndNotScanned) {
    const QString missing = t.path(QStringLiteral("lists/Missing.txt"));
    lib.pathList.append(root);
    lib.ListeLaden(missing);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("Err - Kann Liste nicht öffnen: ") + missing});
    EXPECT_EQ(lib.listFileName, missing);
    EXPECT_EQ(k.settings.LetzteListenDatei, missing);
    EXPECT_EQ(t.view.listName, QStringLiteral("Missing.txt"));
    EXPECT_EQ(lib.pathList.size(), 0);
    EXPECT_EQ(t.progress.opens, 0);
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(ListFiles, FirstStartCreatesAnEmptyStandardListOnce) {
    lib.ListeLaden(QString());
    const QString standard = k.shell.dataFolder + QStringLiteral("Standard.txt");
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral(
                                "Erster Start - fügen Sie mindestens ein Verzeichnis zur Standardliste.\r\n"
                                "Verwenden Sie dazu das Menü 'Liste - Bearbeiten.'\r\n")});
    EXPECT_EQ(lib.listFileName, standard);
    EXPECT_EQ(k.settings.LetzteListenDatei, standard);
    EXPECT_EQ(t.view.listName, QStringLiteral("Standard.txt"));
    EXPECT_TRUE(QFile::exists(standard));
    EXPECT_EQ(QFileInfo(standard).size(), 0);
    EXPECT_EQ(lib.pathList.size(), 0);
    EXPECT_EQ(lib.songList.size(), 0);
}

TEST_F(ListFiles, FirstStartLoadsAnExistingStandardListUnchanged) {
    const QString standard = k.shell.dataFolder + QStringLiteral("Standard.txt");
    t.makeFile(QStringLiteral("music/a.mp3"), 5);
    const QByteArray content = "[Kalvo]\r\nLautstaerke = 80\r\n[Pfade]\r\n0 = " + QFile::encodeName(root) + "\r\n";
    writeAll(standard, content);
    lib.ListeLaden(QString());
    EXPECT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(readAll(standard), content);
    EXPECT_EQ(k.playback.volume, 80);
    EXPECT_EQ(relativePaths(lib.songList, root), QStringList{"a.mp3"});
}

TEST_F(ListFiles, LeerenKeepsNameAndVolumeAndEmptiesTheFields) {
    lib.listFileName = listFile;
    lib.pathList.append(root);
    lib.songList.append(SongEntry{root + "a.mp3", 1, 1});
    k.playback.volume = 70;
    k.playback.lastSongPath = root + "a.mp3";
    k.playback.offeredSong = root + "a.mp3";
    k.playback.lastSongKey = 9;
    t.view.listName = t.view.path = t.view.song = t.view.counter = t.view.time = QStringLiteral("x");
    lib.ListeLeeren();
    EXPECT_EQ(lib.pathList.size(), 0);
    EXPECT_EQ(lib.songList.size(), 0);
    EXPECT_EQ(lib.listFileName, listFile);
    EXPECT_EQ(k.playback.volume, 70);
    EXPECT_TRUE(k.playback.lastSongPath.isEmpty());
    EXPECT_TRUE(k.playback.offeredSong.isEmpty());
    EXPECT_EQ(k.playback.lastSongKey, 0);
    EXPECT_TRUE(t.view.listName.isEmpty() && t.view.path.isEmpty() && t.view.song.isEmpty() &&
                t.view.counter.isEmpty() && t.view.time.isEmpty());
}

TEST_F(ListFiles, SaveAsAppendsTxtUnlessPresentInAnyCase) {
    lib.pathList.append(root);
    t.fileDialogs.answer = t.path(QStringLiteral("lists/Neu"));
    lib.ListeSpeichernUnter(false);
    EXPECT_EQ(t.fileDialogs.titles.value(0), QStringLiteral("Liste speichern unter"));
    EXPECT_EQ(lib.listFileName, t.path(QStringLiteral("lists/Neu.txt")));
    EXPECT_EQ(k.settings.LetzteListenDatei, lib.listFileName);
    EXPECT_EQ(t.view.listName, QStringLiteral("Neu.txt"));
    EXPECT_TRUE(QFile::exists(lib.listFileName));

    t.fileDialogs.answer = t.path(QStringLiteral("lists/Gross.TXT"));
    lib.ListeSpeichernUnter(false);
    EXPECT_EQ(lib.listFileName, t.path(QStringLiteral("lists/Gross.TXT")));
    EXPECT_TRUE(QFile::exists(lib.listFileName));
    EXPECT_EQ(t.fileDialogs.proposals.value(1), t.path(QStringLiteral("lists/Neu.txt")));
}

TEST_F(ListFiles, NewListWithEmptyPathListTakesTheNameButWritesNothing) {
    lib.listFileName = listFile;
    lib.pathList.append(root);
    lib.songList.append(SongEntry{root + "a.mp3", 1, 1});
    t.fileDialogs.answer = QString();  // cancel
    lib.ListeSpeichernUnter(true);
    EXPECT_EQ(lib.pathList.size(), 0);
    EXPECT_EQ(lib.listFileName, listFile);

    t.fileDialogs.answer = t.path(QStringLiteral("lists/Leer.txt"));
    lib.ListeSpeichernUnter(true);
    EXPECT_EQ(lib.listFileName, t.fileDialogs.answer);
    EXPECT_EQ(t.view.listName, QStringLiteral("Leer.txt"));
    EXPECT_FALSE(QFile::exists(t.fileDialogs.answer));
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(ListFiles, AfterACancelledNewListTheNextSaveAsksForANameAndKeepsTheOldFile) {
    lib.listFileName = listFile;
    k.settings.LetzteListenDatei = listFile;
    lib.pathList.append(root);
    lib.songList.append(SongEntry{root + "a.mp3", 1, 1});
    ASSERT_TRUE(lib.ListeSpeichern(false));
    const QByteArray old = readAll(listFile);
    t.fileDialogs.answer = QString();  // cancel
    lib.ListeSpeichernUnter(true);
    lib.pathList.append(t.path("other/"));  // a folder added to the new list
    EXPECT_FALSE(lib.ListeSpeichern(true));  // a quiet save cannot ask: nothing written
    EXPECT_FALSE(lib.ListeSpeichern(false));  // asks, is cancelled again
    EXPECT_EQ(t.fileDialogs.titles.size(), 2);
    EXPECT_EQ(readAll(listFile), old);
    EXPECT_EQ(k.settings.LetzteListenDatei, listFile);

    t.fileDialogs.answer = t.path("lists/Neu");
    EXPECT_TRUE(lib.ListeSpeichern(false));
    EXPECT_EQ(lib.listFileName, t.path("lists/Neu.txt"));
    EXPECT_EQ(k.settings.LetzteListenDatei, lib.listFileName);
    EXPECT_EQ(t.view.listName, QStringLiteral("Neu.txt"));
    EXPECT_TRUE(QFile::exists(lib.listFileName));
    EXPECT_EQ(readAll(listFile), old);
    EXPECT_TRUE(lib.ListeSpeichern(true));  // named now: quiet saves write again
    EXPECT_EQ(t.fileDialogs.titles.size(), 3);
}

TEST_F(ListFiles, FailedSaveAsKeepsTheOldListName) {
    lib.listFileName = listFile;
    k.settings.LetzteListenDatei = listFile;
    t.view.listName = QStringLiteral("Rock.txt");
    lib.pathList.append(root);
    const QString unwritable = t.path("nowhere/Neu.txt");  // its folder does not exist
    t.fileDialogs.answer = unwritable;
    lib.ListeSpeichernUnter(false);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("Fehler - Kann Liste nicht speichern: ") + unwritable});
    EXPECT_EQ(lib.listFileName, listFile);
    EXPECT_EQ(k.settings.LetzteListenDatei, listFile);
    EXPECT_EQ(t.view.listName, QStringLiteral("Rock.txt"));
}

TEST_F(ListFiles, OpenAsksAndLoadsOrDoesNothingOnCancel) {
    lib.listFileName = listFile;
    lib.pathList.append(root);
    lib.ListeOeffnen();
    EXPECT_EQ(t.fileDialogs.titles, QStringList{QStringLiteral("Liste öffnen")});
    EXPECT_EQ(t.fileDialogs.proposals, QStringList{listFile});
    EXPECT_EQ(lib.pathList.size(), 1);

    const QString other = t.path(QStringLiteral("lists/Other.txt"));
    writeAll(other, "[Pfade]\r\n0 = /o/\r\n[Kalvo]\r\nLautstaerke = $1E\r\n");
    t.fileDialogs.answer = other;
    lib.ListeOeffnen();
    EXPECT_EQ(lib.listFileName, other);
    EXPECT_EQ(lib.pathList.raw(), QVector<QString>{"/o/"});
    EXPECT_EQ(k.playback.volume, 0);  // the settings reader knows no "$"
}

TEST_F(ListFiles, LoadingAfterLongIdleSavesTheListBeingLeftFirst) {
    t.makeFile(QStringLiteral("music/a.mp3"), 5);
    lib.listFileName = listFile;
    lib.pathList.append(root);
    lib.ListeAbgleichen();
    const QString other = t.path(QStringLiteral("lists/Other.txt"));
    const QByteArray otherContent = "[Pfade]\r\n0 = /o/\r\n";
    writeAll(other, otherContent);
    t.clock.local += 121;
    lib.ListeLaden(other);
    EXPECT_TRUE(readAll(listFile).contains("a.mp3|"));
    EXPECT_EQ(readAll(other), otherContent);
}

}  // namespace

namespace {

TEST(ListDialogs, ThePassIsSuspendedWhileAFileDialogOrTheScanRuns) {
    HookedKalvo h;
    bool suspendedDuringScan = false;
    h.progress.onDirectory = [&](const QString&) { suspendedDuringScan = h.k->shell.suspended(); };
    h.k->library.pathList.append(h.t.path(QStringLiteral("m/")));
    QDir().mkpath(h.t.path(QStringLiteral("m")));
    h.dialogs.answer = h.t.path(QStringLiteral("x.txt"));
    h.k->library.ListeSpeichernUnter(false);
    h.k->library.ListeOeffnen();
    EXPECT_EQ(h.dialogs.suspendedWhileOpen, (QVector<bool>{true, true}));
    EXPECT_TRUE(suspendedDuringScan);
    EXPECT_FALSE(h.k->shell.suspended());
}

}  // namespace
