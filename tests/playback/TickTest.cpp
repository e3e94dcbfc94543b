#include <QFileInfo>
#include <QRandomGenerator>
#include <limits>

#include "playback/PlayerFixture.h"

namespace {

class Tick : public PlayerFixture {
protected:
    void SetUp() override {
        k.settings.TimeoutTM = 1;
        k.settings.LoopoutTM = 3;
        tick();
    }
    void startModule(const QString& path, int pattern, int row) {
        ASSERT_TRUE(pb.Spielen(path));
        t.modules.pattern = pattern;
        t.modules.row = row;
        tick();
    }
    // One tick per row through the patterns of `order`, over and over, until
    // `done` holds; returns the number of ticks.
    template <typename Pred>
    int playPatterns(const QVector<int>& order, int rows, Pred done) {
        int step = 0;
        for (; step < 1000 && !done(); ++step) {
            t.modules.pattern = order[(step / rows) % order.size()];
            t.modules.row = step % rows;
            tick();
        }
        return step;
    }
};

TEST_F(Tick, SecondCallWithin100msDoesNothing) {
    startModule("/m/a.xm", 3, 12);
    const int32_t pos = pb.positionMs;
    tick(50);
    tick(49);
    EXPECT_EQ(pb.positionMs, pos);
    tick(1);
    EXPECT_EQ(pb.positionMs, pos + 100);
    EXPECT_EQ(t.view.position, "L0 3/12");
}

TEST_F(Tick, WorksAcrossTheWrapOfTheMillisecondCounter) {
    t.clock.tick = std::numeric_limits<uint32_t>::max() - 150;
    k.shell.lastActivityTime = t.clock.tick;
    k.settings.Snooze = 1;
    tick();  // a difference that looks negative (a long uptime) still makes a tick
    startModule("/m/a.xm", 1, 1);
    for (int i = 0; i < 10; ++i) {
        t.modules.row = 2 + i;
        tick();
    }
    EXPECT_LT(t.clock.tick, 2000u);
    EXPECT_EQ(pb.positionMs, 1000);
    EXPECT_EQ(t.view.time, "00:00:01");
    EXPECT_EQ(pb.currentSong, "/m/a.xm");  // the sleep timer saw no huge gap
}

TEST_F(Tick, ModuleWhoseRowStaysFor21TicksHasEnded) {
    for (bool continuous : {true, false}) {
        SCOPED_TRACE(continuous);
        k.settings.FortwAbspielen = continuous;
        songs.clear();
        add("/m/a.xm");
        add("/m/b.xm");
        pb.lastSongPath = "/m/a.xm";
        startModule(QString(), 2, continuous ? 7 : 9);  // a very slow row, or the frozen end
        ticks(20);
        EXPECT_EQ(pb.currentSong, "/m/a.xm");
        tick();
        EXPECT_EQ(pb.currentSong, continuous ? "/m/b.xm" : "");
        EXPECT_EQ(t.modules.isLoaded(), continuous);
    }
}

TEST_F(Tick, LoopGuardWaitsForTimeoutThenMovesOn) {
    k.settings.TimeoutTM = 5;
    add("/m/loop.mod");
    add("/m/next.mod");
    pb.lastSongPath = "/m/loop.mod";
    ASSERT_TRUE(pb.Spielen(QString()));
    // Patterns 0,1 over and over, two rows each: many repeats early on.
    const int steps = playPatterns({0, 1}, 2, [&] { return pb.currentSong != "/m/loop.mod"; });
    EXPECT_EQ(pb.currentSong, "/m/next.mod");
    EXPECT_GT(steps, 50);  // not within 5 s, but at the first pattern entry after
    EXPECT_LE(steps, 53);
    // A jump back within one pattern (the row goes back) counts as well.
    k.settings.TimeoutTM = 1;
    pb.lastSongPath = "/m/loop.mod";
    ASSERT_TRUE(pb.Spielen(QString()));
    tick();
    EXPECT_LT(playPatterns({5}, 4, [&] { return pb.currentSong != "/m/loop.mod"; }), 40);
}

TEST_F(Tick, LoopGuardWithoutContinuousPlayHaltsThenEndRuleReleases) {
    k.settings.FortwAbspielen = 0;
    ASSERT_TRUE(pb.Spielen("/m/loop.mod"));
    playPatterns({0, 1}, 2, [&] { return !t.modules.playing; });
    ASSERT_TRUE(t.modules.isLoaded());
    EXPECT_EQ(pb.currentSong, "/m/loop.mod");
    const QString message = "loop.mod gestoppt - mögliches Loop!";
    EXPECT_EQ(t.view.song, message);
    int n = 0;
    while (!pb.currentSong.isEmpty() && n < 100) {
        tick();
        if (++n == 2) EXPECT_EQ(t.view.position.section(' ', 1), "0/0");
    }
    EXPECT_FALSE(t.modules.isLoaded());
    EXPECT_GE(n, 21);
    EXPECT_LE(n, 22);
    EXPECT_EQ(t.view.song, message);
}

TEST_F(Tick, NextModuleIsNotTakenAsEndedWhenItsFirstRowEqualsTheFrozenOne) {
    k.settings.FortwAbspielen = 0;
    startModule("/m/a.xm", 0, 0);
    ticks(21);
    ASSERT_TRUE(pb.currentSong.isEmpty());
    startModule("/m/b.xm", 0, 0);
    EXPECT_EQ(pb.currentSong, "/m/b.xm");
}

TEST_F(Tick, LoopingModuleGivesWayToAMediaSongWhoseLengthStaysShown) {
    add("/m/a.mp3");
    add("/m/loop.mod");
    pb.lastSongPath = "/m/loop.mod";
    ASSERT_TRUE(pb.Spielen(QString()));
    playPatterns({0, 1}, 2, [&] { return pb.moduleSong == 0; });
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");  // wrapped with Repeat
    EXPECT_FALSE(t.modules.isLoaded());
    t.media.pos = 10000000;
    tick();
    EXPECT_EQ(t.view.time, "00:05:00");
    EXPECT_EQ(t.view.position, "00:00:01");
}

TEST_F(Tick, MediaSongEndsWhenItsPositionStandsStill) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    for (int i = 1; i <= 5; ++i) {
        t.media.pos = i * 1000000LL;
        tick();
    }
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    tick();
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    // Stuck at 0 for two ticks at its start: taken as ended too.
    tick();
    tick();
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    // Without continuous play an ended song stays loaded.
    k.settings.FortwAbspielen = 0;
    ticks(5);
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    EXPECT_TRUE(t.media.isLoaded());
}

// A song started by a key (previous, undo) whose first reading equals the
// last reading of the song before plays on: with continuous play it was
// skipped at once, without it a pause restarted it.
TEST_F(Tick, ASongStartedByAKeyIsNotEndedByTheReadingOfTheSongBefore) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3");
    for (const bool continuous : {true, false}) {
        k.settings.FortwAbspielen = continuous;
        ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
        t.media.pos = 5120000;
        tick();
        ASSERT_TRUE(pb.Spielen("/m/b.mp3"));
        t.media.pos = 5120000;
        tick();
        EXPECT_EQ(pb.currentSong, "/m/b.mp3");
        EXPECT_TRUE(pb.playing());
        t.media.pos = 5130000;
        tick();
        EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    }
}

TEST_F(Tick, AtTheEndOfTheListAnEndedMediaSongStandsWithItsFieldsUntilTheListOrRepeatChanges) {
    k.settings.Repeat = 0;
    k.settings.FortwAbspielen = 1;
    add("/m/a.mp3");
    add("/m/b.mp3");
    pb.lastSongPath = "/m/b.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.pos = 5000000;
    tick();
    t.media.calls.clear();
    for (int i = 0; i < 30; ++i) {
        t.view.time = "00:00:07";  // the determination empties it on every call
        t.view.counter.clear();
        tick();
        EXPECT_EQ(pb.currentSong, "/m/b.mp3");
        EXPECT_EQ(t.view.counter, "2/2");
        EXPECT_EQ(t.view.time, "");
        EXPECT_EQ(t.view.song, "b.mp3");
        EXPECT_EQ(t.view.path, "/m/");
    }
    EXPECT_TRUE(t.media.calls.filter("load").isEmpty()) << "nothing new starts at the end";
    EXPECT_TRUE(t.media.isLoaded());

    // A song added after the end plays next.
    add("/m/d.mp3");
    tick();
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    t.media.pos = 9000000;
    ticks(3);
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    EXPECT_EQ(t.view.counter, "3/3");
    // Repeat switched on while standing at the end goes round.
    k.settings.Repeat = 1;
    tick();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
}

TEST_F(Tick, AMediaLengthLearnedWhilePlayingIsShown) {
    add("/m/a.mp3");
    t.media.len = 0;  // an MP3 without a length header: not known at the start
    ASSERT_TRUE(pb.Spielen(QString()));
    EXPECT_EQ(t.view.time, "00:00:00");
    t.media.pos = 1000000;
    tick();
    EXPECT_EQ(t.view.time, "00:00:00");
    t.media.len = 440LL * 10000000;  // 7:20
    t.media.pos = 2000000;
    tick();
    EXPECT_EQ(t.view.time, "00:07:20");
    t.media.len = 441LL * 10000000;  // a later, better estimate
    t.media.pos = 3000000;
    tick();
    EXPECT_EQ(t.view.time, "00:07:21");
}

TEST_F(Tick, OneSongRepeatCarriesTheSongStateOn) {
    add("/m/only.mod");
    ASSERT_TRUE(pb.Spielen(QString()));
    int n = 0;
    playPatterns({0, 1, 2}, 3, [&] { return n++ >= 9; });
    ASSERT_EQ(k.tick.loopCount, 0);
    const int32_t pos = pb.positionMs;
    pb.MusNext();  // wraps to itself: loaded again, no stop in between
    EXPECT_EQ(t.modules.calls.count("load /m/only.mod"), 2);
    t.modules.pattern = 1;
    tick();
    EXPECT_EQ(pb.positionMs, pos + 100);
    EXPECT_EQ(k.tick.loopCount, 1);  // pattern 1 entered again
}

TEST_F(Tick, PeriodicSaveAfter300SecondsAndAFailedOneRetriedAfterAMinute) {
    k.library.listFileName = t.path("not-yet/Liste.txt");
    k.library.pathList.append(t.path("music/"));
    add("/m/a.mp3");
    const qint64 start = k.shell.lastListSave;
    ASSERT_TRUE(pb.Spielen(QString()));
    auto tickAt = [&](qint64 local) {
        t.clock.local = local;
        t.media.pos += 1;
        tick();
    };
    tickAt(start + 300);
    tickAt(start + 301);  // due, but the folder is missing: fails quietly
    EXPECT_EQ(k.shell.lastListSave, start);
    QDir().mkpath(t.path("not-yet"));
    for (int s = 306; s < 361; s += 5) tickAt(start + s);
    EXPECT_FALSE(QFileInfo::exists(k.library.listFileName));
    tickAt(start + 361);
    EXPECT_TRUE(QFileInfo::exists(k.library.listFileName));
    EXPECT_EQ(k.shell.lastListSave, start + 361);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST(LoopZaehlen, CountsReentriesLikeAWalkOverAllRecords) {
    TestKalvo t;
    PlaybackTick& tk = t.k->tick;
    QRandomGenerator rng(42);
    QVector<PatternVisit> naive;
    for (int i = 0; i < 3000; ++i) {
        const int32_t p = int32_t(rng.bounded(64)) - 5;
        auto it = std::find_if(naive.begin(), naive.end(), [&](const PatternVisit& v) { return v.pattern == p; });
        if (it != naive.end()) ++it->visits; else naive.append({p, 1});
        qint64 expected = 0;
        for (const PatternVisit& v : naive) expected += v.visits - 1;
        ASSERT_EQ(tk.LoopZaehlen(p), expected) << "step " << i;
    }
    ASSERT_EQ(tk.PatternVisits.size(), naive.size());
    for (int i = 0; i < naive.size(); ++i) EXPECT_EQ(tk.PatternVisits[i].visits, naive[i].visits);
}

TEST(LoopZaehlen, SaturatesInsteadOfOverflowing) {
    TestKalvo t;
    PlaybackTick& tk = t.k->tick;
    const int32_t max = std::numeric_limits<int32_t>::max();
    tk.PatternVisits = {{1, max}, {2, max}};
    EXPECT_EQ(tk.LoopZaehlen(1), max);
    EXPECT_EQ(tk.PatternVisits[0].visits, max);
}

}  // namespace
