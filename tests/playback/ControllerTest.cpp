#include <QFileInfo>
#include <limits>

#include "playback/PlayerFixture.h"

namespace {

class Controller : public PlayerFixture {};

constexpr auto Int32Max = std::numeric_limits<int32_t>::max();
constexpr auto Int64Max = std::numeric_limits<qint64>::max();

TEST_F(Controller, EmptyListRefusesToPlayAndForgetsResumePoint) {
    pb.lastSongPath = "/m/x.mp3";
    pb.lastSongKey = 7;
    EXPECT_FALSE(pb.Spielen(QString()));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - Liedliste leer - kann nichts abspielen!");
    EXPECT_TRUE(pb.lastSongPath.isEmpty());
    EXPECT_EQ(pb.lastSongKey, 0);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_TRUE(t.media.calls.isEmpty());
}

TEST_F(Controller, ResumeInPathOrderTakesSuccessorOfVanishedSongByUnicodeLowerCase) {
    add("/m/a.mp3");
    add("/m/b.mp3", 0, -2);  // absent: neither counted nor chosen
    add("/m/Über.mp3");
    add("/m/üz.mp3");
    pb.lastSongPath = "/m/B.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/Über.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/Über.mp3");
    EXPECT_EQ(t.view.counter, "2/3");
    EXPECT_EQ(t.view.song, "Über.mp3");
    EXPECT_EQ(t.view.path, "/m/");
    EXPECT_EQ(t.view.time, "00:05:00");  // the fake's length of 300 s
    EXPECT_EQ(songs.index(), 2);
    EXPECT_EQ(t.media.calls, (QStringList{"load /m/Über.mp3", "setTimeUnit", "setAudio 0", "play"}));
    // "übz" lies between "über" and "üz" only when Ü is lower-cased to ü
    pb.lastSongPath = "/m/ÜBZ.mp3";
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/üz.mp3");
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
    EXPECT_TRUE(pb.lastSongPath.isEmpty());
}

TEST_F(Controller, TwinKeysInRandomOrderPlayThroughBothWaysAndResumeOnTheRightTwin) {
    // A list written elsewhere may give two songs one key.
    k.settings.ZufallAbspielen = 1;
    k.settings.Repeat = 0;
    add("/m/a.mp3", 10);
    add("/m/b.mp3", 20);
    add("/m/c.mp3", 20);
    add("/m/d.mp3", 20, -1);
    add("/m/e.mp3", 30);
    pb.lastSongKey = 10;
    QStringList heard;
    ASSERT_TRUE(pb.Spielen(QString()));
    heard << pb.currentSong;
    for (int i = 0; i < 4; ++i) {
        pb.MusNext();
        heard << pb.currentSong;
    }
    EXPECT_EQ(heard, (QStringList{"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/e.mp3", "/m/e.mp3"}));
    pb.MusPrev();
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    EXPECT_EQ(t.view.counter, "3/4");
    pb.Stoppen();
    ASSERT_TRUE(pb.Spielen(QString()));  // the resume point is the second twin
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    pb.MusPrev();
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(t.view.counter, "2/4");
}

TEST_F(Controller, ResumeAfterEveryEntryTakesLastEntryEvenWhenAbsent) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3", 0, -3);
    t.media.failLoads << "/m/c.mp3";
    pb.lastSongPath = "/m/zz.mp3";
    EXPECT_FALSE(pb.Spielen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/zz.mp3");
    EXPECT_EQ(t.view.counter, "2/2");
    EXPECT_EQ(t.view.song, "Fehler - kann <c.mp3> nicht laden!");
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_EQ(pb.mediaHandle, 0);
    EXPECT_TRUE(t.logLines().contains("Fehler - kann <c.mp3> nicht laden!"));
}

// A sound output that fails (no sound server) is not the file's fault: no
// blaming text or log line from the player, the beep still; once the output
// is back the same song plays.
TEST_F(Controller, AFailingOutputDoesNotBlameTheFile) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    t.media.outputDown = true;
    EXPECT_FALSE(pb.Spielen(QString()));
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(t.view.song, "a.mp3");
    EXPECT_EQ(t.messages.errorBeeps, 1);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_FALSE(t.logLines().join('\n').contains("nicht laden")) << t.logLines().join('\n').toStdString();
    EXPECT_FALSE(t.media.loaded);

    t.media.outputDown = false;
    EXPECT_TRUE(pb.Spielen(QString()));
    EXPECT_EQ(t.media.loadedPath, "/m/a.mp3");
}

TEST_F(Controller, EngineIsChosenBySubstringOfLowerCasedExtension) {
    struct Case { QString path; int engine; };  // 1 module, 0 media, -1 refused
    const QVector<Case> cases = {
        {"/m/Song.MOD", 1}, {"/m/y.m", 1},    {"/m/y.od", 1},        {"/m/a.Mp3", 0},
        {"/m/a.mid", 0},    {"/m/noext", -1}, {"/m/a.ogg", -1},      {"/m/dir.mp3/file", -1},
        {"/m/dot.", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(pb.LiedBestimmen(c.path), c.engine >= 0);
        EXPECT_EQ(pb.currentSong, c.path);
        if (c.engine >= 0)
            EXPECT_EQ(pb.moduleSong, c.engine);
        else
            EXPECT_EQ(t.view.song, "Illegale Extension: " + c.path);
    }
    EXPECT_FALSE(pb.Spielen("/m/a.ogg"));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - Liedliste leer - kann nichts abspielen!");
    EXPECT_TRUE(t.logLines().contains("Fehler - Datei mit illegaler Extension! /m/a.ogg"));
}

TEST_F(Controller, PlayingByPathLeavesResumePointCursorAndCounter) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    pb.lastSongPath = "/m/b.mp3";
    songs.select(0);
    t.windows.selectionOpen = true;
    ASSERT_TRUE(pb.Spielen("/x/other.wav"));
    EXPECT_EQ(pb.lastSongPath, "/m/b.mp3");
    EXPECT_EQ(songs.index(), 0);
    EXPECT_EQ(t.view.counter, "");
    EXPECT_EQ(t.windows.selections, QVector<int>{-1});  // marked: not a row of the window
}

TEST_F(Controller, StartingOnOneEngineReleasesTheOther) {
    t.view.volume = 40;
    ASSERT_TRUE(pb.Spielen("/m/a.mod"));
    EXPECT_EQ(t.modules.calls, (QStringList{"load /m/a.mod", "setVolume 40", "play"}));
    ASSERT_TRUE(pb.Spielen("/m/b.mp3"));
    EXPECT_EQ(t.modules.calls.mid(3), (QStringList{"stop", "release"}));
    ASSERT_TRUE(pb.Spielen("/m/c.it"));
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(t.media.calls.mid(t.media.calls.size() - 2), (QStringList{"stop", "release"}));
    EXPECT_EQ(t.modules.loadedPath, "/m/c.it");
}

TEST_F(Controller, StopReleasesAndEmptiesTimeButKeepsSongPathAndCounter) {
    add("/m/a.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    t.view.position = "00:00:01";
    pb.Stoppen();
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(pb.mediaHandle, 0);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_EQ(t.view.time + t.view.position, "");
    EXPECT_EQ(t.view.song, "a.mp3");
    EXPECT_EQ(t.view.path, "/m/");
    EXPECT_EQ(t.view.counter, "0/1");  // the resume point was empty
    EXPECT_EQ(pb.offeredSong, "/m/a.mp3");
}

TEST_F(Controller, StopStopsTheModuleEvenWhenADeterminationMovedToAMediaSong) {
    add("/m/a.mp3");
    ASSERT_TRUE(pb.Spielen("/m/x.mod"));
    // A new order or a closed list edit determines the resume song without playing.
    ASSERT_TRUE(pb.LiedBestimmen(QString()));
    pb.Stoppen();
    EXPECT_FALSE(t.modules.isLoaded());
}

TEST_F(Controller, StopSavesQuietlyOnlyWhenLastSaveIsOlderThan120Seconds) {
    const QString file = prepareListFile();
    add("/m/a.mp3");
    const qint64 start = k.shell.lastListSave;
    ASSERT_TRUE(pb.Spielen(QString()));
    t.clock.local = start + 120;
    pb.Stoppen();
    EXPECT_FALSE(QFileInfo::exists(file));
    ASSERT_TRUE(pb.Spielen(QString()));
    t.clock.local = start + 121;
    pb.Stoppen();
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(k.shell.lastListSave, start + 121);
}

TEST_F(Controller, NextWrapsWithRepeatSkipsAbsentAndStopsAtAFailedLoad) {
    add("/m/a.mp3", 0, -1);
    add("/m/b.mp3");
    add("/m/c.mp3", 0, -1);
    add("/m/d.mp3");
    pb.lastSongPath = "/m/b.mp3";
    pb.MusNext();  // c is absent: its determination stops at d
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    EXPECT_EQ(pb.lastSongPath, "/m/d.mp3");
    pb.MusNext();  // wraps to a, absent: b plays
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(t.view.counter, "1/2");

    t.media.failLoads << "/m/d.mp3";
    pb.MusNext();  // no retry after a failed load
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(t.messages.errorBeeps, 1);

    k.settings.Repeat = 0;
    t.media.failLoads.clear();
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.calls.clear();
    pb.MusNext();  // at the end without Repeat the song simply goes on
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
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

TEST_F(Controller, MediaJumpsStayInsideTheSong) {
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));  // 300 s long, jumps of 30 s
    t.media.calls.clear();
    pb.VorwaertsSpringen();  // position still 0: nothing
    pb.ZurueckSpringen();
    t.media.pos = 2900000000LL;  // 10 s before the end
    pb.VorwaertsSpringen();
    EXPECT_TRUE(t.media.calls.isEmpty());
    t.media.pos = 100000000LL;  // 10 s in
    pb.VorwaertsSpringen();
    pb.ZurueckSpringen();
    pb.ZurueckSpringen();
    EXPECT_EQ(t.media.calls, (QStringList{"seek 400000000", "seek 100000000", "seek 0"}));
}

TEST_F(Controller, JumpsWithAHugeWidthNeitherOverflowNorLeaveTheSong) {
    k.settings.SprungwertWM = Int32Max;
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    t.media.len = Int64Max - 5;
    t.media.pos = Int64Max - 10;
    pb.VorwaertsSpringen();  // the sum saturates and is not below the length
    EXPECT_EQ(t.media.pos, Int64Max - 10);
    pb.ZurueckSpringen();
    EXPECT_EQ(t.media.pos, Int64Max - 10 - 21474836470000000LL);

    ASSERT_TRUE(pb.Spielen("/m/b.mod"));
    pb.positionMs = 5000;
    pb.VorwaertsSpringen();
    EXPECT_EQ(pb.positionMs, Int32Max);
    pb.ZurueckSpringen();
    EXPECT_EQ(pb.positionMs, 0);
    EXPECT_EQ(t.modules.calls.filter("seek"), (QStringList{QStringLiteral("seek %1").arg(Int32Max), "seek 0"}));
}

TEST_F(Controller, VolumeIsClampedShownAndApplied) {
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    struct Case { int slider, delta, shown, applied; };
    const QVector<Case> cases = {
        {95, 10, 100, 100}, {2, -3, 0, 0}, {50, std::numeric_limits<int32_t>::min(), 0, 0},
        {99, Int32Max, 100, 100},
        {250, 0, 250, 100}, {-7, 0, -7, 0},  // a slider out of range never reaches the engine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slider);
        t.view.volume = c.slider;
        pb.Lautstaerke(c.delta);
        EXPECT_EQ(t.view.volume, c.shown);
        EXPECT_EQ(t.media.lastVolume, c.applied);
        EXPECT_EQ(pb.volume, c.applied);
    }
}

TEST(TimeText, WrapsAtADay) {
    EXPECT_EQ(timeText(3661), "01:01:01");
    EXPECT_EQ(timeText(86400 + 5), "00:00:05");
    EXPECT_EQ(timeText(-1), "23:59:59");
}

TEST(LowerPathGreater, AgreesWithFullLowerCasingInCodeUnitOrder) {
    auto reference = [](const QString& a, const QString& b) {
        const QString la = a.toLower(), lb = b.toLower();
        return std::lexicographical_compare(lb.utf16(), lb.utf16() + lb.size(), la.utf16(), la.utf16() + la.size());
    };
    const QStringList samples = {
        "", "/m/a", "/m/A", "/m/a.mp3", "/m/B.mp3", "/m/Ä", "/m/ä.mp3", "/m/_x", "/m/[x",
        "/m/İx",  // İ lower-cases to two code units
        QString("/m/") + QChar(0xFFFF), QString::fromUcs4(U"/m/\U00010400b"), "/M/ß", "/m/ss", "/m/abc", "/m/ΑΣ", "/m/ασ",
    };
    for (const QString& a : samples)
        for (const QString& b : samples)
            EXPECT_EQ(lowerPathGreater(a, b.toLower()), reference(a, b)) << qPrintable(a + " vs " + b);
}

}  // namespace
