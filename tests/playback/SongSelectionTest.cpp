#include "playback/PlayerFixture.h"

#include "playback/SongSelection.h"

namespace {

class Selection : public PlayerFixture {
protected:
    SongSelection& sel = k.selection;
    FakeWindows& w = t.windows;

    void SetUp() override {
        // In path order, as the controller expects with the random order off.
        add("/m/JAZZ/delta.mp3", 40);
        add("/m/Jazz/Gamma.mp3", 20, -2);  // missed by the last two scans
        add("/m/Pop/Jazzy.mp3", 50, 0);    // missed by the latest scan
        add("/m/Rock/Alpha.mp3", 30);
        add("/m/Rock/beta.mp3", 10);
    }
    void find(const QString& text) {
        w.searchText = text;
        sel.LiedauswahlFuellen(true);
    }
};

}  // namespace

TEST_F(Selection, OpeningPlacesTheWindowAndListsEveryPresentSongInListOrder) {
    k.settings.WinXLied = 200;
    k.settings.WinYLied = 300;
    k.settings.WinXDLied = 500;
    k.settings.WinYDLied = 400;
    sel.LiedauswahlOeffnen();
    EXPECT_TRUE(w.selectionOpen);
    EXPECT_EQ(w.selectionRect, (WindowRect{200, 300, 500, 400}));
    EXPECT_EQ(w.rows, (QVector<QString>{"/m/JAZZ/delta.mp3", "/m/Rock/Alpha.mp3", "/m/Rock/beta.mp3"}));
    EXPECT_EQ(w.selections, QVector<int>{-1});  // nothing offered yet

    // Closing stores where the user left it; reopening starts there.
    w.selectionRect = {250, 320, 520, 410};
    sel.LiedauswahlSchliessen();
    EXPECT_FALSE(w.selectionOpen);
    EXPECT_EQ(k.settings.WinXLied, 250);
    EXPECT_EQ(k.settings.WinYLied, 320);
    EXPECT_EQ(k.settings.WinXDLied, 520);
    EXPECT_EQ(k.settings.WinYDLied, 410);
    EXPECT_TRUE(sel.rows().isEmpty());
    sel.LiedauswahlOeffnen();
    EXPECT_EQ(w.selectionRect, (WindowRect{250, 320, 520, 410}));

    // A second close of a closed window changes nothing.
    sel.LiedauswahlSchliessen();
    w.selectionRect = {1, 2, 3, 4};
    sel.LiedauswahlSchliessen();
    EXPECT_EQ(k.settings.WinXLied, 250);
}

TEST_F(Selection, AWindowThatCannotOpenIsReportedAndNothingElseChanges) {
    w.selectionCanOpen = false;
    k.settings.WinXLied = 7;
    sel.LiedauswahlOeffnen();
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler: Konnte WndSelSong-Fenster nicht öffnen!");
    EXPECT_EQ(w.fills, 0);
    EXPECT_EQ(w.selectionRect, WindowRect{});
    EXPECT_EQ(k.settings.WinXLied, 7);
}

TEST_F(Selection, FindIsCaseInsensitiveOverTheWholePathAndSkipsAbsentSongs) {
    sel.LiedauswahlOeffnen();
    find("jazz");  // folder names count; absent Gamma and Jazzy never show
    EXPECT_EQ(w.rows, QVector<QString>{"/m/JAZZ/delta.mp3"});
    find("ALPHA.MP3");
    EXPECT_EQ(w.rows, QVector<QString>{"/m/Rock/Alpha.mp3"});
    find("/m/r");
    EXPECT_EQ(w.rows, (QVector<QString>{"/m/Rock/Alpha.mp3", "/m/Rock/beta.mp3"}));
    find("nirgends");
    EXPECT_TRUE(w.rows.isEmpty());
    // An empty search text matches nothing, so the list is emptied.
    find("");
    EXPECT_TRUE(w.rows.isEmpty());
    // "Aktualisieren" ignores the search text.
    sel.LiedauswahlFuellen(false);
    EXPECT_EQ(w.rows.size(), 3);
}

TEST_F(Selection, FindLowerCasesBeyondAscii) {
    songs.clear();
    add("/m/ÄRZTE/Über.mp3");
    add("/m/Ελληνικά/ΣΟΦΙΑ.mp3");
    add("/m/İstanbul/x.mp3");   // U+0130 lowers to two code units
    add("/m/𐐀 Deseret/y.mp3");  // a letter beyond the BMP (lower: U+10428)
    sel.LiedauswahlOeffnen();
    find("ärzte/üb");
    EXPECT_EQ(w.rows, QVector<QString>{"/m/ÄRZTE/Über.mp3"});
    find("σοφια");
    EXPECT_EQ(w.rows, QVector<QString>{"/m/Ελληνικά/ΣΟΦΙΑ.mp3"});
    find(QString("İSTANBUL").toLower());
    EXPECT_EQ(w.rows, QVector<QString>{"/m/İstanbul/x.mp3"});
    find("𐐨 deseret");
    EXPECT_EQ(w.rows, QVector<QString>{"/m/𐐀 Deseret/y.mp3"});
}

TEST(SongSelectionText, LoweredComparisonsAgreeWithTheFullMappingForEveryCodeUnit) {
    for (int u = 0; u < 0x10000; ++u) {
        const QString c = QString(QChar(char16_t(u)));
        const QString lowered = c.toLower();
        ASSERT_TRUE(equalLowered(c, lowered)) << u;
        ASSERT_EQ(loweredHash(c), loweredHash(lowered)) << u;
        ASSERT_TRUE(lowerContains("x" + c + "y", "x" + lowered + "y")) << u;
    }
    EXPECT_FALSE(equalLowered("/a/b.mp3", "/a/b.mp"));
    EXPECT_FALSE(equalLowered("/a/İ", "/a/i"));
    EXPECT_TRUE(equalLowered("/a/İ", "/a/İ"));
    EXPECT_FALSE(lowerContains("ab", "abc"));
    // Only the tail is hashed: a marked unit before or inside it changes nothing.
    for (const QString& text : {"İ" + QString(40, 'A'), QString(40, 'B') + "İ/x.mp3", QString("𐐀").repeated(30)})
        EXPECT_EQ(loweredHash(text), loweredHash(text.toLower())) << text.toStdString();
}

TEST_F(Selection, TheRowOfTheSongThatStartsIsSelected) {
    sel.LiedauswahlOeffnen();
    ASSERT_TRUE(pb.Spielen(QString()));  // resume song: the first present one
    EXPECT_EQ(w.selectedRow, 0);
    pb.MusNext();  // Gamma and Jazzy are absent: Alpha plays, the second row
    EXPECT_EQ(t.media.loadedPath, "/m/Rock/Alpha.mp3");
    EXPECT_EQ(w.selectedRow, 1);
    pb.MusNext();
    EXPECT_EQ(w.selectedRow, 2);

    // Letter case does not matter; a song the list does not show leaves no
    // selection; a failed start marks nothing.
    ASSERT_TRUE(pb.Spielen("/M/ROCK/ALPHA.MP3"));
    EXPECT_EQ(w.selectedRow, 1);
    ASSERT_TRUE(pb.Spielen("/trash/other.mp3"));
    EXPECT_EQ(w.selectedRow, -1);
    find("beta");
    ASSERT_TRUE(pb.Spielen("/m/Rock/Alpha.mp3"));
    EXPECT_EQ(w.selectedRow, -1);  // filtered away
    const int marks = int(w.selections.size());
    t.media.failLoads << "/m/Rock/beta.mp3";
    EXPECT_FALSE(pb.Spielen("/m/Rock/beta.mp3"));
    EXPECT_EQ(w.selections.size(), marks);

    // A refill selects the offered song again, and nothing is marked while
    // the window is closed.
    sel.LiedauswahlFuellen(false);
    EXPECT_EQ(w.selectedRow, 2);  // beta, offered by the failed start
    sel.LiedauswahlSchliessen();
    ASSERT_TRUE(pb.Spielen("/m/Rock/Alpha.mp3"));
    EXPECT_EQ(w.selections.size(), marks + 1);
}

TEST_F(Selection, TheFirstOfRowsDifferingOnlyInCaseIsSelected) {
    songs.clear();
    for (int i = 0; i < 300; ++i) add(QStringLiteral("/m/%1.mp3").arg(i));
    add("/m/X.mp3");
    add("/m/x.mp3");
    sel.LiedauswahlOeffnen();
    pb.offeredSong = "/m/x.MP3";
    sel.LiedauswahlMarkieren();
    EXPECT_EQ(w.selectedRow, 300);
    for (int i = 0; i < 300; i += 37) EXPECT_EQ(sel.rowOf(QStringLiteral("/M/%1.mp3").arg(i)), i);
    EXPECT_EQ(sel.rowOf("/m/300.mp3"), -1);
}

TEST_F(Selection, ADoubleClickPlaysTheSelectedSongInEitherOrder) {
    sel.LiedauswahlOeffnen();
    w.selectedRow = 2;
    sel.LiedauswahlEreignis(SubClick);  // only double-clicks play
    EXPECT_TRUE(pb.currentSong.isEmpty());
    sel.LiedauswahlEreignis(SubDoubleClick);
    EXPECT_EQ(t.media.loadedPath, "/m/Rock/beta.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/Rock/beta.mp3");
    EXPECT_EQ(w.selectedRow, 2);

    // Random order on: the resume point is the song's key.
    k.settings.ZufallAbspielen = 1;
    std::stable_sort(songs.raw().begin(), songs.raw().end(),
                     [](const SongEntry& a, const SongEntry& b) { return a.randomKey < b.randomKey; });
    sel.LiedauswahlFuellen(false);
    EXPECT_EQ(w.rows, (QVector<QString>{"/m/Rock/beta.mp3", "/m/Rock/Alpha.mp3", "/m/JAZZ/delta.mp3"}));
    w.selectedRow = 2;
    sel.LiedauswahlEreignis(SubDoubleClick);
    EXPECT_EQ(pb.lastSongKey, 40);
    EXPECT_EQ(t.media.loadedPath, "/m/JAZZ/delta.mp3");
}

TEST_F(Selection, AGoneSongPlaysTheResumeSongAndDisappearsFromTheList) {
    pb.lastSongPath = "/m/Rock/Alpha.mp3";
    sel.LiedauswahlOeffnen();
    find("mp3");
    ASSERT_EQ(w.rows.size(), 3);

    // beta was deleted since the fill, delta missed by a scan since.
    songs.raw().removeAt(4);
    songs.raw()[0].presence = -1;  // delta
    w.selectedRow = 2;
    sel.LiedauswahlEreignis(SubDoubleClick);
    EXPECT_EQ(t.media.loadedPath, "/m/Rock/Alpha.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/Rock/Alpha.mp3");
    EXPECT_EQ(w.rows, QVector<QString>{"/m/Rock/Alpha.mp3"});  // refilled with the search
    EXPECT_EQ(w.selectedRow, 0);

    // Alpha is found absent by a scan after the fill: the resume point stays
    // on delta instead of moving to a song that cannot play.
    songs.raw()[0].presence = 40;
    pb.lastSongPath = "/m/JAZZ/delta.mp3";
    sel.LiedauswahlFuellen(false);
    ASSERT_EQ(w.rows, (QVector<QString>{"/m/JAZZ/delta.mp3", "/m/Rock/Alpha.mp3"}));
    songs.raw()[3].presence = 0;
    w.selectedRow = 1;
    sel.LiedauswahlEreignis(SubDoubleClick);
    EXPECT_EQ(pb.lastSongPath, "/m/JAZZ/delta.mp3");
    EXPECT_EQ(t.media.loadedPath, "/m/JAZZ/delta.mp3");
    EXPECT_EQ(w.rows, QVector<QString>{"/m/JAZZ/delta.mp3"});
}

TEST_F(Selection, APlaceThePlatformKeepsToItselfLeavesTheStoredPlace) {
    k.settings.WinXLied = 200;
    k.settings.WinYLied = 300;
    sel.LiedauswahlOeffnen();
    w.selectionRect = {Windows::Unknown, Windows::Unknown, 520, 410};
    sel.LiedauswahlSchliessen();
    EXPECT_EQ(k.settings.WinXLied, 200);
    EXPECT_EQ(k.settings.WinYLied, 300);
    EXPECT_EQ(k.settings.WinXDLied, 520);  // the size is known everywhere
    EXPECT_EQ(k.settings.WinYDLied, 410);
}
