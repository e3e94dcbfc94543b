#include "fixtures/TrashFixture.h"

#include <QDateTime>

namespace {

class TrashIndex : public TrashFixture {
protected:
    void writeIndex(const QByteArray& text) { writeFile(trash() + Trash::indexFileName(), text); }
    QStringList trashPaths() {
        QStringList out;
        for (const TrashEntry& e : k().trash.TrashList) out << e.trashPath;
        return out;
    }
};

TEST_F(TrashIndex, IsWrittenAsNumberedKeysAndReadBackAfterARestart) {
    trashed("Lied.mp3", 1796663109, -5, "/home/u/Musik/Lied.mp3");
    trashed("Bär | x.mod", 5, 2147483647, "");  // only the origin may not hold "|"
    k().trash.TrashList[1].trashPath = trash() + "Bär.mod";
    writeFile(trash() + "Bär.mod", "x");
    ASSERT_TRUE(k().trash.WriteTrashIndex());

    const QByteArray bytes = readFile(trash() + Trash::indexFileName());
    const QByteArray expected = "\xEF\xBB\xBF\r\n1 = 1796663109|-5|/home/u/Musik/Lied.mp3|" +
                                (trash() + "Lied.mp3").toUtf8() + "\r\n2 = 5|2147483647||" +
                                (trash() + "Bär.mod").toUtf8() + "\r\n";
    EXPECT_EQ(bytes, expected);

    const QVector<TrashEntry> before = k().trash.TrashList;
    rebuildKalvo(t, t.files);
    QFile::remove(trash() + "Bär | x.mod");
    k().actions.CheckTrashFolder();
    ASSERT_EQ(k().trash.TrashList.size(), 2);
    // Sorted oldest first.
    EXPECT_EQ(k().trash.TrashList[0].trashPath, before[1].trashPath);
    EXPECT_EQ(k().trash.TrashList[0].randomKey, 2147483647);
    EXPECT_EQ(k().trash.TrashList[1].originPath, before[0].originPath);
    EXPECT_EQ(k().trash.TrashList[1].randomKey, -5);
    EXPECT_EQ(k().trash.TrashList[1].deletedAt, 1796663109);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(TrashIndex, HandEditedAndGarbageLinesNeitherCrashNorLoseFiles) {
    writeFile(trash() + "a.mp3", "a");
    writeFile(trash() + "b.mp3", "b");
    writeFile(trash() + "c.mp3", "c");
    writeFile(trash() + "d.mp3", "d");
    const QByteArray t1 = trash().toUtf8();
    writeIndex("7 = 300|3|/o/a.mp3|" + t1 + "a.mp3\r\n"
               "7 = 100|4|/o/b.mp3|" + t1 + "b.mp3|extra|fields\r\n"  // duplicate key, more fields
               "zz = 200|5|/o/c.mp3\r\n"                              // fewer fields
               "; a comment\r\n"
               "\x01\x02\xFF garbage without equals\r\n"
               "9 = notanumber|alsonot|/o/gone.mp3|" + t1 + "gone.mp3\r\n"
               "3 = 300|3|/o/a.mp3|" + t1 + "a.mp3\r\n"  // the same line twice
               "[Gruppe\r\n"  // keys after a group header are not entries
               "x = 1|1|/o/d.mp3|" + t1 + "d.mp3\r\n");
    k().actions.CheckTrashFolder();

    // a and b keep their origins; c (no trash path) and d are adopted.
    ASSERT_EQ(k().trash.TrashList.size(), 4);
    QMap<QString, TrashEntry> byName;
    for (const TrashEntry& e : k().trash.TrashList) byName[filePart(e.trashPath)] = e;
    EXPECT_EQ(byName["a.mp3"].originPath, "/o/a.mp3");
    EXPECT_EQ(byName["b.mp3"].originPath, "/o/b.mp3");
    EXPECT_EQ(byName["b.mp3"].deletedAt, 100);
    EXPECT_TRUE(byName["c.mp3"].originPath.isEmpty());
    EXPECT_TRUE(byName["d.mp3"].originPath.isEmpty());
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_TRUE(t.messages.shown[0].text.startsWith("Es wurden 2 Datei(en) gefunden in:"));
    EXPECT_EQ(trashFiles(), (QStringList{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
}

TEST_F(TrashIndex, ABinaryIndexAdoptsEverythingButIniFiles) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) junk.append(char((i * 37) & 0xFF));
    writeIndex(junk);
    writeFile(trash() + "song.xm", "x");
    k().actions.CheckTrashFolder();
    EXPECT_EQ(trashPaths(), QStringList{trash() + "song.xm"});
}

TEST_F(TrashIndex, AdoptionFollowsTheIniRuleAndSkipsFoldersAndShowsOneMessage) {
    writeFile(trash() + "x.ini", "ini");
    writeFile(trash() + "x.INI", "INI");
    writeFile(trash() + ".hidden.mp3", "h");
    writeFile(trash() + "no extension", "n");
    QDir().mkpath(trash() + "folder.mp3");
    QFile sparse(trash() + "huge.mp3");
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(qint64(8) << 30));  // 8 GiB, sparse
    sparse.close();
    const QFileInfo info(trash() + "x.INI");
    QDateTime created = info.birthTime().isValid() ? info.birthTime() : info.lastModified();
    k().settings.TrashMax = 17;

    k().actions.CheckTrashFolder();

    QStringList names;
    for (const TrashEntry& e : k().trash.TrashList) names << filePart(e.trashPath);
    names.sort();
    EXPECT_EQ(names, (QStringList{".hidden.mp3", "huge.mp3", "no extension", "x.INI"}));
    for (const TrashEntry& e : k().trash.TrashList) {
        EXPECT_TRUE(e.originPath.isEmpty());
        EXPECT_GE(e.randomKey, 1);
        if (e.trashPath.endsWith("x.INI"))
            EXPECT_EQ(e.deletedAt, created.toSecsSinceEpoch() + created.offsetFromUtc());
    }
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_FALSE(t.messages.shown[0].ask);
    EXPECT_EQ(t.messages.shown[0].text,
              "Es wurden 4 Datei(en) gefunden in:\r\n\r\n" + trash() +
                  "\r\n\r\n"
                  "In diesem Verzeichnis werden maximal 17 Dateien vorbehalten...\r\n"
                  "Bei nächsten Löschen durch Kalvo2 werden überzählige Dateien\r\n"
                  "in diesem Verzeichnis unwiederbringlich gelöscht!\r\n\r\n"
                  "Wenn Sie dort noch Daten wegkopieren wollen, sollten Sie dies JETZT tun!\r\n"
                  "Benutzen Sie das Menü 'Datei - Kalvo Papierkorb öffnen'.\r\n\r\n"
                  "Sie können die maximale Anzahl Dateien ändern:\r\n"
                  "Benutzen Sie das Menü 'Datei - Dateien wiederherstellen'. Unten rechts\r\n"
                  "können Sie die gewünschte Anzahl eintragen. Mit 'Fertig' wird dies\r\n"
                  "übernommen...");

    // Once written, the same files are known and no message follows.
    ASSERT_TRUE(k().trash.WriteTrashIndex());
    rebuildKalvo(t, t.files);
    k().actions.CheckTrashFolder();
    EXPECT_EQ(k().trash.TrashList.size(), 4);
    EXPECT_EQ(t.messages.shown.size(), 1);
}

TEST_F(TrashIndex, EntriesOfVanishedFilesDisappearAndTheRestIsSorted) {
    trashed("new.mp3", 900, 1, "/o/new.mp3");
    trashed("gone.mp3", 500, 2, "/o/gone.mp3");
    trashed("old.mp3", 100, 3, "/o/old.mp3");
    ASSERT_TRUE(k().trash.WriteTrashIndex());
    QFile::remove(trash() + "gone.mp3");
    rebuildKalvo(t, t.files);
    k().actions.CheckTrashFolder();
    EXPECT_EQ(trashPaths(), (QStringList{trash() + "old.mp3", trash() + "new.mp3"}));
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(TrashIndex, LeftoversOfAnInterruptedCopyOrIndexSaveAreRemovedNotAdopted) {
    writeFile(trash() + partialCopyName("Lied.mp3"), "half");
    writeFile(trash() + Trash::indexFileName() + ".rTHaNI", "1 = 1|2|/o/x.mp3|/t/x.mp3\r\n");
    k().actions.CheckTrashFolder();
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(trashFiles().isEmpty());
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(TrashIndex, EntriesOutsideTheTrashFolderAreDroppedAndTheirFilesLeftAlone) {
    const QString song = t.path("music/keep.mp3");
    writeFile(song, "keep");
    writeIndex(("1 = 1|1|/o/x.mp3|" + song + "\r\n2 = 2|2|/o/y.mp3|" + trash() + Trash::indexFileName() +
                "\r\n").toUtf8());
    k().actions.CheckTrashFolder();
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    k().settings.TrashMax = 1;
    k().trash.WriteTrashIndex();
    EXPECT_EQ(readFile(song), QByteArray("keep"));
}

TEST_F(TrashIndex, AnIndexFromAnotherDataFolderFollowsItsFiles) {
    writeFile(trash() + "Lied.mp3", "x");
    writeIndex("1 = 50|9|/home/u/Musik/Lied.mp3|C:\\Users\\u\\Kalvo2\\Kalvo-Kübel\\Lied.mp3\r\n");
    k().actions.CheckTrashFolder();
    ASSERT_EQ(k().trash.TrashList.size(), 1);
    EXPECT_EQ(k().trash.TrashList[0].trashPath, trash() + "Lied.mp3");
    EXPECT_EQ(k().trash.TrashList[0].originPath, "/home/u/Musik/Lied.mp3");
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(TrashIndex, NamesTheIndexCannotCarryAreLoggedNotAdopted) {
    writeFile(trash() + "a|b.mp3", "x");
    k().actions.CheckTrashFolder();
    EXPECT_TRUE(k().trash.TrashList.isEmpty());
    EXPECT_TRUE(QFile::exists(trash() + "a|b.mp3"));
    bool logged = false;
    for (const QString& l : t.logLines()) logged |= l.startsWith("CheckTrashFolder: ");
    EXPECT_TRUE(logged);
}

// A restore killed while it copied leaves ".<name>.kalvo-part" (and the copy's
// own "..<name>.kalvo-part.kalvo-part") beside the origin; the trashed file
// is still whole. The start removes those exact names of indexed origins and
// nothing else.
TEST_F(TrashIndex, RemovesTheUnfinishedCopiesAKilledRestoreLeftBesideIndexedOrigins) {
    const QString m = music() + "/";
    trashed("A.mp3", 1, 1, m + "A.mp3");
    trashed("B.mp3", 2, 2, m + "B.mp3");
    ASSERT_TRUE(k().trash.WriteTrashIndex());
    QFile::remove(trash() + "B.mp3");  // B's trashed file is gone: its leftovers may be all there is
    const QStringList ours{".A.mp3.kalvo-part", "..A.mp3.kalvo-part.kalvo-part"};
    const QStringList foreign{".B.mp3.kalvo-part", ".C.mp3.kalvo-part", ".A.mp3.kalvo-part.bak",
                              "A.mp3.kalvo-part", ".A.mp3", "..A.mp3.kalvo-part"};
    for (const QString& name : ours + foreign) writeFile(m + name, "copy");
    writeFile(t.path("other/.A.mp3.kalvo-part"), "elsewhere");

    rebuildKalvo(t, t.files);
    k().actions.CheckTrashFolder();
    QStringList left = QDir(m).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QStringList expected = foreign;
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(QFile::exists(t.path("other/.A.mp3.kalvo-part")));
    EXPECT_EQ(readFile(trash() + "A.mp3"), QByteArray("A.mp3"));
    EXPECT_TRUE(t.logLines().contains("CheckTrashFolder: unfertige Kopie entfernt: " + m + ".A.mp3.kalvo-part"));
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

}  // namespace
