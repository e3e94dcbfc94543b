#include <QFileInfo>
#include <limits>

#include "playback/PlayerFixture.h"

namespace {

class Controller : public PlayerFixture {};

TEST_F(Controller, EmptyListRefusesToPlayAndForgetsResumePoint) {
    pb.lastSongPath = "/m/x.mp3";
    pb.lastSongKey = 7;
    pb.currentSong = "/m/x.mp3";
    EXPECT_FALSE(pb.Spielen(QString()));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - Liedliste leer - kann nichts abspielen!");
    EXPECT_FALSE(t.messages.shown[0].ask);
    EXPECT_TRUE(pb.lastSongPath.isEmpty());
    EXPECT_EQ(pb.lastSongKey, 0);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_TRUE(t.media.calls.isEmpty());
    EXPECT_TRUE(t.modules.calls.isEmpty());
}

TEST_F(Controller, ResumeInPathOrderContinuesWithSuccessorOfVanishedSong) {
    add("/m/a.mp3");
    add("/m/b.mp3", 0, -2);  // absent: neither counted nor chosen
    add("/m/C.mp3");
    add("/m/d.mp3");
    pb.lastSongPath = "/m/B.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/C.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/C.mp3");
    EXPECT_EQ(pb.offeredSong, "/m/C.mp3");
    EXPECT_EQ(t.view.counter, "2/3");
    EXPECT_EQ(t.view.song, "C.mp3");
    EXPECT_EQ(t.view.path, "/m/");
    EXPECT_EQ(t.view.time, "00:05:00");  // the fake's length of 300 s
    EXPECT_EQ(songs.index(), 2);
    EXPECT_EQ(t.media.loadedPath, "/m/C.mp3");
    EXPECT_EQ(pb.moduleSong, 0);
    EXPECT_NE(pb.mediaHandle, 0);
    // load, unit switch, volume, play in this order
    EXPECT_EQ(t.media.calls, (QStringList{"load /m/C.mp3", "setTimeUnit", "setAudio 0", "play"}));
}

TEST_F(Controller, ResumeInPathOrderFindsExactSongAndComparesUnicodeLowerCase) {
    add("/m/apfel.mp3");
    add("/m/Über.mp3");
    add("/m/üz.mp3");
    pb.lastSongPath = "/m/Über.mp3";
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/Über.mp3");
    EXPECT_EQ(t.view.counter, "2/3");
    // "üb" < "übz" < "üz" only when Ü is lower-cased to ü
    pb.lastSongPath = "/m/ÜBZ.mp3";
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/üz.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/üz.mp3");
}

TEST_F(Controller, ResumeInRandomOrderByKey) {
    k.settings.ZufallAbspielen = 1;
    add("/m/z.mp3", 10, -1);
    add("/m/a.mp3", 20);
    add("/m/q.mp3", 30);
    add("/m/b.mp3", 40);
    pb.lastSongKey = 30;
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/q.mp3");
    EXPECT_EQ(t.view.counter, "2/3");

    pb.lastSongKey = 31;  // vanished: the next greater key takes over
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(pb.lastSongKey, 40);

    pb.lastSongKey = 0;  // none: the first entry even though it is absent
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/z.mp3");
    EXPECT_EQ(pb.lastSongKey, 10);
    EXPECT_EQ(t.view.counter, "0/3");
    EXPECT_TRUE(pb.lastSongPath.isEmpty());  // the other resume point is untouched
}

TEST_F(Controller, EmptyResumePathShowsZeroCounterAndTakesFirstEntry) {
    add("/m/a.mp3", 0, 0);
    add("/m/b.mp3");
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/a.mp3");
    EXPECT_EQ(t.view.counter, "0/1");
}

TEST_F(Controller, ResumeAfterEveryEntryTakesLastEntryEvenWhenAbsent) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3", 0, -3);
    t.media.failLoads << "/m/c.mp3";
    pb.lastSongPath = "/m/zz.mp3";
    EXPECT_FALSE(pb.Spielen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/zz.mp3");  // left unchanged
    EXPECT_EQ(t.view.counter, "2/2");
    EXPECT_EQ(t.view.song, "Fehler - kann <c.mp3> nicht laden!");
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(pb.mediaHandle, 0);
    EXPECT_TRUE(t.logLines().contains("Fehler - kann <c.mp3> nicht laden!"));
}

TEST_F(Controller, EngineIsChosenBySubstringOfLowerCasedExtension) {
    struct Case { QString path; int engine; };  // 1 module, 0 media, -1 refused
    const QVector<Case> cases = {
        {"/m/Song.MOD", 1}, {"/m/x.xm", 1}, {"/m/y.m", 1},      {"/m/y.od", 1},
        {"/m/a.Mp3", 0},    {"/m/a.wav", 0}, {"/m/a.mid", 0},   {"/m/noext", -1},
        {"/m/a.ogg", -1},   {"/m/dir.mp3/file", -1}, {"/m/trailingdot.", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const bool ok = pb.LiedBestimmen(c.path);
        EXPECT_EQ(ok, c.engine >= 0);
        EXPECT_EQ(pb.currentSong, c.path);
        if (c.engine >= 0) {
            EXPECT_EQ(pb.moduleSong, c.engine);
        } else {
            EXPECT_EQ(t.view.song, "Illegale Extension: " + c.path);
        }
    }
    // "Spielen" on a refused file shows the same box as for an empty list
    EXPECT_FALSE(pb.Spielen("/m/a.ogg"));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - Liedliste leer - kann nichts abspielen!");
    EXPECT_TRUE(t.logLines().contains("Fehler - Datei mit illegaler Extension! /m/a.ogg"));
}

TEST_F(Controller, PatternSettingsAreMatchedWithoutRegardToCase) {
    k.settings.WinMediaDateiPattern = "*.OGG";
    EXPECT_TRUE(pb.LiedBestimmen("/m/a.ogg"));
    EXPECT_EQ(pb.moduleSong, 0);
}

TEST_F(Controller, PlayingByPathLeavesResumePointCursorAndCounter) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    pb.lastSongPath = "/m/b.mp3";
    songs.select(0);
    t.view.counter = "old";
    k.settings.GBlackScreen = 1;
    t.windows.selectionOpen = true;
    ASSERT_TRUE(pb.Spielen("/x/other.wav"));
    EXPECT_EQ(pb.currentSong, "/x/other.wav");
    EXPECT_EQ(pb.lastSongPath, "/m/b.mp3");
    EXPECT_EQ(songs.index(), 0);
    EXPECT_EQ(t.view.counter, "");
    EXPECT_EQ(t.windows.marked, QStringList{"/x/other.wav"});
}

TEST_F(Controller, SelectionWindowIsMarkedOnlyWhenOpen) {
    add("/m/a.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    EXPECT_TRUE(t.windows.marked.isEmpty());
    t.windows.selectionOpen = true;
    ASSERT_TRUE(pb.Spielen(QString()));
    EXPECT_EQ(t.windows.marked, QStringList{"/m/a.mp3"});
}

TEST_F(Controller, StartingOnOneEngineReleasesTheOther) {
    t.view.volume = 40;
    ASSERT_TRUE(pb.Spielen("/m/a.mod"));
    EXPECT_TRUE(t.modules.playing);
    EXPECT_EQ(t.modules.calls, (QStringList{"load /m/a.mod", "setVolume 40", "play"}));
    ASSERT_TRUE(pb.Spielen("/m/b.mp3"));
    EXPECT_FALSE(t.modules.isLoaded());
    EXPECT_EQ(t.modules.calls.mid(t.modules.calls.size() - 2), (QStringList{"stop", "release"}));
    EXPECT_TRUE(t.media.isLoaded());
    t.modules.calls.clear();
    ASSERT_TRUE(pb.Spielen("/m/c.it"));
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(pb.mediaHandle, 0);
    EXPECT_EQ(t.media.calls.mid(t.media.calls.size() - 2), (QStringList{"stop", "release"}));
    EXPECT_EQ(t.modules.loadedPath, "/m/c.it");
}

TEST_F(Controller, MediaSongIsReleasedBeforeTheNextLoad) {
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    t.media.calls.clear();
    ASSERT_TRUE(pb.Spielen("/m/b.mp3"));
    EXPECT_EQ(t.media.calls.mid(0, 3), (QStringList{"stop", "release", "load /m/b.mp3"}));
}

TEST_F(Controller, ModuleLoadFailureIsReportedAndNothingPlays) {
    t.modules.failLoads << "/m/bad.s3m";
    EXPECT_FALSE(pb.Spielen("/m/bad.s3m"));
    EXPECT_EQ(t.view.song, "Fehler - kann <bad.s3m> nicht laden!");
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_EQ(pb.currentSong, "/m/bad.s3m");
    EXPECT_FALSE(t.modules.playing);
}

TEST_F(Controller, StopReleasesAndEmptiesTimeButKeepsSongPathAndCounter) {
    add("/m/a.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    t.view.position = "00:00:01";
    pb.Stoppen();
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(pb.mediaHandle, 0);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_EQ(t.view.time, "");
    EXPECT_EQ(t.view.position, "");
    EXPECT_EQ(t.view.song, "a.mp3");
    EXPECT_EQ(t.view.path, "/m/");
    EXPECT_EQ(t.view.counter, "0/1");  // the resume point was empty
    EXPECT_EQ(pb.lastSongPath, "/m/a.mp3");
    EXPECT_EQ(pb.offeredSong, "/m/a.mp3");
}

TEST_F(Controller, StopStopsTheModuleEvenWhenADeterminationMovedToAMediaSong) {
    add("/m/a.mp3");
    ASSERT_TRUE(pb.Spielen("/m/x.mod"));
    // A new order or a closed list edit determines the resume song without playing.
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.moduleSong, 0);
    pb.Stoppen();
    EXPECT_FALSE(t.modules.isLoaded());
    EXPECT_FALSE(t.modules.playing);
}

TEST_F(Controller, StopSavesQuietlyOnlyWhenLastSaveIsOlderThan120Seconds) {
    const QString file = prepareListFile();
    add("/m/a.mp3");
    const qint64 start = k.shell.lastListSave;

    ASSERT_TRUE(pb.Spielen(QString()));
    t.clock.local = start + 120;
    pb.Stoppen();
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(k.shell.lastListSave, start);

    ASSERT_TRUE(pb.Spielen(QString()));
    t.clock.local = start + 121;
    pb.Stoppen();
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(k.shell.lastListSave, start + 121);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(Controller, NextWrapsWithRepeatAndSkipsAbsentEntries) {
    add("/m/a.mp3", 0, -1);
    add("/m/b.mp3");
    add("/m/c.mp3", 0, -1);
    add("/m/d.mp3");
    pb.lastSongPath = "/m/b.mp3";
    pb.MusNext();  // c is absent: its determination stops at d
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/d.mp3");
    EXPECT_EQ(t.media.loadedPath, "/m/d.mp3");

    pb.MusNext();  // wraps to a, absent: b plays
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(t.view.counter, "1/2");

    k.settings.Repeat = 0;
    pb.lastSongPath = "/m/d.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.calls.clear();
    pb.MusNext();  // at the end without Repeat: the song simply goes on
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    EXPECT_TRUE(t.media.calls.isEmpty());
    EXPECT_TRUE(t.media.isLoaded());
}

TEST_F(Controller, NextToAnUnloadableSongShowsItAndGoesNoFurther) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3");
    t.media.failLoads << "/m/b.mp3";
    pb.lastSongPath = "/m/a.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    pb.MusNext();
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/b.mp3");
    EXPECT_EQ(t.view.song, "Fehler - kann <b.mp3> nicht laden!");
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_FALSE(t.media.isLoaded());  // a.mp3 was released before the load
    EXPECT_EQ(count(t.media.calls, "load /m/c.mp3"), 0);
}

TEST_F(Controller, NextInRandomOrderMovesTheKey) {
    k.settings.ZufallAbspielen = 1;
    add("/m/x.mp3", 5);
    add("/m/a.mp3", 9);
    pb.lastSongKey = 5;
    pb.MusNext();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(pb.lastSongKey, 9);
    EXPECT_TRUE(pb.lastSongPath.isEmpty());
}

TEST_F(Controller, NextOnAnEmptyListDoesNothing) {
    pb.MusNext();
    pb.MusPrev();
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(t.media.calls.isEmpty());
}

TEST_F(Controller, PreviousSkipsAbsentAndUnloadableEntriesAndStopsAtTheFirst) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3", 0, -1);
    add("/m/d.mp3");
    add("/m/e.mp3");
    t.media.failLoads << "/m/d.mp3";
    pb.lastSongPath = "/m/e.mp3";
    pb.MusPrev();  // d fails, c is absent, b plays
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/b.mp3");
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_EQ(count(t.media.calls, "load /m/c.mp3"), 0);

    pb.MusPrev();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    t.media.calls.clear();
    pb.MusPrev();  // no wrap at the start
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(count(t.media.calls, "play"), 0);
}

TEST_F(Controller, PreviousWhenEveryEarlierEntryFailsEndsAtTheStart) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3");
    t.media.failLoads << "/m/a.mp3" << "/m/b.mp3";
    pb.lastSongPath = "/m/c.mp3";
    pb.MusPrev();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(t.messages.errorBeeps, 2);
    EXPECT_EQ(songs.index(), 0);
}

TEST_F(Controller, MediaJumpsStayInsideTheSong) {
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    t.media.len = 3000000000LL;  // 300 s
    t.media.calls.clear();

    t.media.pos = 0;  // not yet advanced: nothing
    pb.VorwaertsSpringen();
    pb.ZurueckSpringen();
    EXPECT_TRUE(t.media.calls.isEmpty());

    t.media.pos = 2900000000LL;  // 10 s before the end, width 30 s
    pb.VorwaertsSpringen();
    EXPECT_TRUE(t.media.calls.isEmpty());

    t.media.pos = 100000000LL;  // 10 s in
    pb.VorwaertsSpringen();
    EXPECT_EQ(t.media.pos, 400000000LL);
    pb.ZurueckSpringen();
    EXPECT_EQ(t.media.pos, 100000000LL);
    pb.ZurueckSpringen();
    EXPECT_EQ(t.media.pos, 0);
    EXPECT_EQ(t.media.calls, (QStringList{"seek 400000000", "seek 100000000", "seek 0"}));
}

TEST_F(Controller, HugeJumpWidthDoesNotOverflow) {
    k.settings.SprungwertWM = std::numeric_limits<int32_t>::max();
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    t.media.len = std::numeric_limits<qint64>::max() - 5;
    t.media.pos = std::numeric_limits<qint64>::max() - 10;
    pb.VorwaertsSpringen();  // the sum saturates and is not below the length
    EXPECT_EQ(t.media.pos, std::numeric_limits<qint64>::max() - 10);
    pb.ZurueckSpringen();
    EXPECT_EQ(t.media.pos, std::numeric_limits<qint64>::max() - 10 - 21474836470000000LL);

    ASSERT_TRUE(pb.Spielen("/m/b.mod"));
    pb.positionMs = 5000;
    pb.VorwaertsSpringen();
    EXPECT_EQ(pb.positionMs, std::numeric_limits<int32_t>::max());
    pb.ZurueckSpringen();
    EXPECT_EQ(pb.positionMs, 0);
    EXPECT_EQ(t.modules.lastSeekMs, 0);
}

TEST_F(Controller, ModuleJumpsMoveTheEstimateAndSeek) {
    ASSERT_TRUE(pb.Spielen("/m/a.xm"));
    pb.positionMs = 10000;
    pb.VorwaertsSpringen();
    EXPECT_EQ(pb.positionMs, 40000);
    EXPECT_EQ(t.modules.lastSeekMs, 40000);
    pb.ZurueckSpringen();
    pb.ZurueckSpringen();
    EXPECT_EQ(pb.positionMs, 0);
    EXPECT_EQ(t.modules.lastSeekMs, 0);
}

TEST_F(Controller, JumpsWithoutALoadedSongDoNothing) {
    pb.moduleSong = 1;
    pb.positionMs = 1000;
    pb.VorwaertsSpringen();
    EXPECT_EQ(pb.positionMs, 1000);
    pb.moduleSong = 0;
    pb.VorwaertsSpringen();
    pb.ZurueckSpringen();
    EXPECT_TRUE(t.media.calls.isEmpty());
    EXPECT_TRUE(t.modules.calls.isEmpty());
}

TEST_F(Controller, VolumeIsClampedAndShown) {
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    t.view.volume = 95;
    pb.Lautstaerke(10);
    EXPECT_EQ(pb.volume, 100);
    EXPECT_EQ(t.view.volume, 100);
    EXPECT_EQ(t.media.lastVolume, 100);
    EXPECT_EQ(t.media.lastBalance, 0);
    t.view.volume = 2;
    pb.Lautstaerke(-3);
    EXPECT_EQ(t.view.volume, 0);
    EXPECT_EQ(t.media.lastVolume, 0);
    pb.Lautstaerke(std::numeric_limits<int32_t>::min());
    EXPECT_EQ(t.view.volume, 0);
    t.view.volume = 99;
    pb.Lautstaerke(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(t.view.volume, 100);

    // A slider outside its range never reaches an engine unclamped.
    t.view.volume = 250;
    pb.Lautstaerke(0);
    EXPECT_EQ(t.media.lastVolume, 100);
    t.view.volume = -7;
    pb.Lautstaerke(0);
    EXPECT_EQ(t.media.lastVolume, 0);
    EXPECT_EQ(pb.volume, 0);
}

TEST_F(Controller, VolumeGoesToTheEngineOfTheCurrentSongOnly) {
    t.view.volume = 30;
    pb.Lautstaerke(3);  // nothing loaded: only the slider moves
    EXPECT_EQ(t.view.volume, 33);
    EXPECT_EQ(t.media.lastVolume, -1);
    EXPECT_EQ(t.modules.lastVolume, -1);
    ASSERT_TRUE(pb.Spielen("/m/a.669"));
    pb.Lautstaerke(-10);
    EXPECT_EQ(t.modules.lastVolume, 23);
    EXPECT_EQ(t.media.lastVolume, -1);
}

TEST_F(Controller, DeletionSoundOrNoticeBeep) {
    pb.LoeschTon();
    EXPECT_EQ(t.messages.asteriskBeeps, 1);
    EXPECT_TRUE(t.sounds.played.isEmpty());
    t.sounds.loadFromMemory(DeletionSoundNumber, QByteArray());
    pb.LoeschTon();
    EXPECT_EQ(t.sounds.played, QVector<int>{DeletionSoundNumber});
    EXPECT_EQ(t.messages.asteriskBeeps, 1);
}

TEST(TimeText, WrapsAtADay) {
    EXPECT_EQ(timeText(0), "00:00:00");
    EXPECT_EQ(timeText(3661), "01:01:01");
    EXPECT_EQ(timeText(86399), "23:59:59");
    EXPECT_EQ(timeText(86400 + 5), "00:00:05");
    EXPECT_EQ(timeText(-1), "23:59:59");
    EXPECT_EQ(timeText(std::numeric_limits<qint64>::max()), timeText(std::numeric_limits<qint64>::max() % 86400));
}

TEST(LowerPathGreater, AgreesWithFullLowerCasingInCodeUnitOrder) {
    auto reference = [](const QString& a, const QString& b) {
        const QString la = a.toLower();
        const QString lb = b.toLower();
        return std::lexicographical_compare(lb.utf16(), lb.utf16() + lb.size(), la.utf16(),
                                            la.utf16() + la.size());
    };
    const QStringList samples = {
        "", "/m/a", "/m/A", "/m/a.mp3", "/m/B.mp3", "/m/b", "/m/Ä", "/m/ä.mp3", "/m/Z",
        "/m/_x", "/m/[x", "/m/İx",  // İ lower-cases to two code units
        QString("/m/") + QChar(0xFFFF), QString("/m/") + QString::fromUcs4(U"\U00010400"),
        QString::fromUcs4(U"/m/\U00010400b"), "/M/ß", "/m/ss", "/m/ab", "/m/abc",
    };
    for (const QString& a : samples)
        for (const QString& b : samples) {
            SCOPED_TRACE((a + " vs " + b).toStdString());
            EXPECT_EQ(lowerPathGreater(a, b.toLower()), reference(a, b));
        }
}

}  // namespace
