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
        tick();  // the first tick after start
    }
    // Starts a module and lets the tick see it once with the given pattern and row.
    void startModule(const QString& path, int pattern = 0, int row = 0) {
        ASSERT_TRUE(pb.Spielen(path));
        t.modules.pattern = pattern;
        t.modules.row = row;
        tick();
    }
    // Runs ticks that each see the next row, wrapping into the next pattern
    // of a pattern sequence, until the predicate holds or n ticks have run.
    template <typename Pred>
    int playPatterns(const QVector<int>& order, int rowsPerPattern, int n, Pred done) {
        int step = 0;
        for (; step < n && !done(); ++step) {
            const int p = order[(step / rowsPerPattern) % order.size()];
            t.modules.pattern = p;
            t.modules.row = step % rowsPerPattern;
            tick();
        }
        return step;
    }
};

TEST_F(Tick, SecondCallWithin100msDoesNothing) {
    ASSERT_TRUE(pb.Spielen("/m/a.xm"));
    tick();
    const int32_t pos = pb.positionMs;
    const uint32_t last = k.tick.lastTickTime;
    tick(50);
    EXPECT_EQ(pb.positionMs, pos);
    EXPECT_EQ(k.tick.lastTickTime, last);
    tick(49);
    EXPECT_EQ(pb.positionMs, pos);
    tick(1);
    EXPECT_EQ(pb.positionMs, pos + 100);
    EXPECT_EQ(k.tick.lastTickTime, t.clock.tick);
}

TEST_F(Tick, WorksAcrossTheWrapOfTheMillisecondCounter) {
    t.clock.tick = std::numeric_limits<uint32_t>::max() - 150;
    k.shell.lastActivityTime = t.clock.tick;
    k.settings.Snooze = 1;
    tick();
    startModule("/m/a.xm", 1, 1);
    const int32_t pos = pb.positionMs;
    for (int i = 0; i < 5; ++i) {
        t.modules.row = 2 + i;
        tick();
    }
    EXPECT_LT(t.clock.tick, 1000u);  // wrapped
    EXPECT_EQ(pb.positionMs, pos + 500);
    EXPECT_EQ(pb.currentSong, "/m/a.xm");  // the sleep timer did not see a huge gap
    EXPECT_EQ(t.view.time, "00:00:00");
}

TEST_F(Tick, RunsEvenWhenTheFirstDifferenceLooksNegative) {
    // A tick counter above 2^31 at the first call (a long uptime).
    t.clock.tick = 0x90000000u;
    k.tick.lastTickTime = 0;
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    t.media.pos = 10000000;
    k.tick.MusCheckPlay();
    EXPECT_EQ(k.tick.lastTickTime, 0x90000000u);
    EXPECT_EQ(k.tick.tickSong, "/m/a.mp3");
    EXPECT_EQ(t.view.position, "00:00:01");
    EXPECT_EQ(pb.positionMs, 0);
}

TEST_F(Tick, NoSongForgetsTheTickSong) {
    startModule("/m/a.xm", 1, 1);
    EXPECT_EQ(k.tick.tickSong, "/m/a.xm");
    pb.Stoppen();
    tick();
    EXPECT_TRUE(k.tick.tickSong.isEmpty());
}

TEST_F(Tick, ModuleShowsElapsedTimeAndLoopPatternRow) {
    startModule("/m/a.xm", 3, 12);
    EXPECT_EQ(t.view.position, "L0 3/12");
    for (int i = 0; i < 10; ++i) {
        t.modules.row = 13 + i;
        tick();
    }
    EXPECT_EQ(pb.positionMs, 1000);
    EXPECT_EQ(t.view.time, "00:00:01");
    EXPECT_EQ(t.view.position, "L0 3/22");
}

TEST_F(Tick, ModuleWhoseRowStaysFor21TicksHasEnded) {
    add("/m/a.xm");
    add("/m/b.xm");
    pb.lastSongPath = "/m/a.xm";
    ASSERT_TRUE(pb.Spielen(QString()));
    t.modules.pattern = 2;
    t.modules.row = 7;  // a very slow row, or the frozen end
    tick();             // the row changed here
    ticks(20);
    EXPECT_EQ(pb.currentSong, "/m/a.xm");
    tick();  // the 21st tick with the same row
    EXPECT_EQ(pb.currentSong, "/m/b.xm");
    EXPECT_TRUE(t.modules.playing);
}

TEST_F(Tick, EndedModuleIsStoppedWithoutContinuousPlay) {
    k.settings.FortwAbspielen = 0;
    add("/m/a.xm");
    add("/m/b.xm");
    startModule("/m/a.xm", 2, 7);
    ticks(21);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.modules.isLoaded());
}

TEST_F(Tick, LoopGuardWaitsForTimeoutThenMovesOn) {
    k.settings.TimeoutTM = 5;
    add("/m/loop.mod");
    add("/m/next.mod");
    pb.lastSongPath = "/m/loop.mod";
    ASSERT_TRUE(pb.Spielen(QString()));
    // Patterns 0,1 over and over, two ticks per pattern: many repeats early.
    const int steps = playPatterns({0, 1}, 2, 1000, [&] { return pb.currentSong != "/m/loop.mod"; });
    EXPECT_EQ(pb.currentSong, "/m/next.mod");
    // Not before 5 s (50 ticks), and at the first pattern entry after that.
    EXPECT_GT(steps, 50);
    EXPECT_LE(steps, 53);
    EXPECT_GT(k.tick.loopCount, 3);
}

TEST_F(Tick, LoopGuardCountsBackwardRowJumpsWithinAPattern) {
    add("/m/loop.mod");
    add("/m/next.mod");
    pb.lastSongPath = "/m/loop.mod";
    ASSERT_TRUE(pb.Spielen(QString()));
    // One pattern whose rows run 0..3 and jump back.
    const int steps = playPatterns({5}, 4, 1000, [&] { return pb.currentSong != "/m/loop.mod"; });
    EXPECT_EQ(pb.currentSong, "/m/next.mod");
    EXPECT_LT(steps, 40);
}

TEST_F(Tick, LoopGuardWithoutContinuousPlayHaltsThenEndRuleReleases) {
    k.settings.FortwAbspielen = 0;
    ASSERT_TRUE(pb.Spielen("/m/loop.mod"));
    playPatterns({0, 1}, 2, 1000, [&] { return !t.modules.playing; });
    ASSERT_FALSE(t.modules.playing);
    EXPECT_TRUE(t.modules.isLoaded());
    EXPECT_EQ(pb.currentSong, "/m/loop.mod");
    const QString message = "loop.mod gestoppt - mögliches Loop!";
    EXPECT_EQ(t.view.song, message);

    // The stopped engine reads pattern 0, row 0; 21 ticks later it is released.
    int n = 0;
    while (!pb.currentSong.isEmpty() && n < 100) {
        tick();
        ++n;
        if (n == 2) EXPECT_EQ(t.view.position.section(' ', 1), "0/0");
    }
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.modules.isLoaded());
    EXPECT_GE(n, 21);
    EXPECT_LE(n, 22);
    EXPECT_EQ(t.view.song, message);
    EXPECT_LE(t.view.songHistory.count(message), 2);
}

TEST_F(Tick, NextModuleIsNotTakenAsEndedWhenItsFirstRowEqualsTheFrozenOne) {
    k.settings.FortwAbspielen = 0;
    startModule("/m/a.xm", 0, 0);
    ticks(21);  // the end rule stops a.xm at row 0
    ASSERT_TRUE(pb.currentSong.isEmpty());
    ASSERT_TRUE(pb.Spielen("/m/b.xm"));
    t.modules.pattern = 0;
    t.modules.row = 0;  // b.xm's first row
    tick();
    EXPECT_EQ(pb.currentSong, "/m/b.xm");
    EXPECT_TRUE(t.modules.playing);
}

TEST_F(Tick, LoopingModuleGivesWayToAMediaSong) {
    add("/m/a.mp3");
    add("/m/loop.mod");
    pb.lastSongPath = "/m/loop.mod";
    ASSERT_TRUE(pb.Spielen(QString()));
    playPatterns({0, 1}, 2, 1000, [&] { return pb.moduleSong == 0; });
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");  // wrapped with Repeat
    EXPECT_FALSE(t.modules.isLoaded());
    EXPECT_TRUE(t.media.isLoaded());
    EXPECT_EQ(t.view.time, "00:05:00");  // the media song's length stays shown
    t.media.pos = 10000000;
    tick();
    EXPECT_EQ(t.view.time, "00:05:00");
    EXPECT_EQ(t.view.position, "00:00:01");
}

TEST_F(Tick, MediaSongEndsWhenItsPositionStopsMoving) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    pb.lastSongPath = "/m/a.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    for (int i = 1; i <= 5; ++i) {
        t.media.pos = i * 1000000LL;
        tick();
        EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    }
    tick();  // the same position again
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(t.media.loadedPath, "/m/b.mp3");
}

TEST_F(Tick, MediaSongAtItsEndStaysWithoutContinuousPlay) {
    k.settings.FortwAbspielen = 0;
    add("/m/a.mp3");
    add("/m/b.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.pos = 5;
    ticks(10);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_TRUE(t.media.isLoaded());
}

TEST_F(Tick, MediaSongStuckAtZeroAtItsStartIsTakenAsEnded) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.pos = 0;
    tick();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    tick();
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
}

TEST_F(Tick, LastMediaPositionCarriesOverToTheNextSong) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    add("/m/c.mp3");
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.pos = 7777;
    tick();
    pb.MusNext();  // b starts; the fake reports the same position
    t.media.pos = 7777;
    tick();
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    EXPECT_EQ(k.tick.lastMediaPosition, 7777);
}

TEST_F(Tick, OneSongRepeatCarriesTheSongStateOn) {
    add("/m/only.mod");
    ASSERT_TRUE(pb.Spielen(QString()));
    playPatterns({0, 1, 2}, 3, 9, [] { return false; });
    const int32_t loops = k.tick.loopCount;
    EXPECT_EQ(loops, 0);
    const int visits = int(k.tick.PatternVisits.size());
    const int32_t pos = pb.positionMs;
    t.modules.calls.clear();
    pb.MusNext();  // wraps to itself
    EXPECT_EQ(t.modules.calls.count("load /m/only.mod"), 1);
    t.modules.pattern = 1;
    t.modules.row = 0;
    tick();
    EXPECT_EQ(k.tick.tickSong, "/m/only.mod");
    EXPECT_EQ(pb.positionMs, pos + 100);
    EXPECT_EQ(int(k.tick.PatternVisits.size()), visits);
    EXPECT_EQ(k.tick.loopCount, 1);  // pattern 1 entered again
}

TEST_F(Tick, FailedLoadLeavesOnlyTimerAndSave) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    t.media.failLoads << "/m/a.mp3";
    EXPECT_FALSE(pb.Spielen(QString()));
    ticks(5);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(t.media.calls.count("load /m/b.mp3"), 0);
}

TEST_F(Tick, PeriodicSaveEvery300SecondsWhileASongIsCurrent) {
    const QString file = prepareListFile();
    add("/m/a.mp3");
    const qint64 start = k.shell.lastListSave;
    ASSERT_TRUE(pb.Spielen(QString()));
    t.clock.local = start + 300;
    t.media.pos = 1;
    tick();
    EXPECT_FALSE(QFileInfo::exists(file));
    t.clock.local = start + 301;
    t.media.pos = 2;
    tick();
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(k.shell.lastListSave, start + 301);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(Tick, FailedPeriodicSaveIsRetriedAfterAMinuteNotOnEveryTick) {
    k.library.listFileName = t.path("not-yet/Liste.txt");
    k.library.pathList.append(t.path("music/"));
    add("/m/a.mp3");
    const qint64 start = k.shell.lastListSave;
    ASSERT_TRUE(pb.Spielen(QString()));
    t.clock.local = start + 301;
    t.media.pos = 1;
    tick();  // the folder is missing: the save fails quietly
    EXPECT_EQ(k.shell.lastListSave, start);
    QDir().mkpath(t.path("not-yet"));
    for (int i = 0; i < 10; ++i) {
        t.clock.local += 5;
        t.media.pos += 1;
        tick();
    }
    EXPECT_FALSE(QFileInfo::exists(k.library.listFileName));
    t.clock.local = start + 301 + 60;
    t.media.pos += 1;
    tick();
    EXPECT_TRUE(QFileInfo::exists(k.library.listFileName));
    EXPECT_EQ(k.shell.lastListSave, start + 361);
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

TEST_F(Tick, NoPeriodicSaveWithoutASong) {
    const QString file = prepareListFile();
    t.clock.local = k.shell.lastListSave + 1000;
    tick();
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST(LoopZaehlen, CountsReentriesLikeTheWalkOverAllRecords) {
    TestKalvo t;
    PlaybackTick& tk = t.k->tick;
    QRandomGenerator rng(42);
    QVector<PatternVisit> naive;
    for (int i = 0; i < 5000; ++i) {
        const int32_t p = int32_t(rng.bounded(64)) - 5;
        bool found = false;
        for (PatternVisit& v : naive)
            if (v.pattern == p) { ++v.visits; found = true; break; }
        if (!found) naive.append({p, 1});
        qint64 expected = 0;
        for (const PatternVisit& v : naive) expected += v.visits - 1;
        ASSERT_EQ(tk.LoopZaehlen(p), expected) << "step " << i;
    }
    ASSERT_EQ(tk.PatternVisits.size(), naive.size());
    for (int i = 0; i < naive.size(); ++i) {
        EXPECT_EQ(tk.PatternVisits[i].pattern, naive[i].pattern);
        EXPECT_EQ(tk.PatternVisits[i].visits, naive[i].visits);
    }
}

TEST(LoopZaehlen, StaysConsistentWhenTheListIsChangedFromOutside) {
    TestKalvo t;
    PlaybackTick& tk = t.k->tick;
    EXPECT_EQ(tk.LoopZaehlen(1), 0);
    EXPECT_EQ(tk.LoopZaehlen(1), 1);
    tk.PatternVisits.clear();
    EXPECT_EQ(tk.LoopZaehlen(1), 0);
    tk.PatternVisits = {{7, 3}, {8, 1}};
    EXPECT_EQ(tk.LoopZaehlen(8), 3);
}

TEST(LoopZaehlen, SaturatesInsteadOfOverflowing) {
    TestKalvo t;
    PlaybackTick& tk = t.k->tick;
    tk.PatternVisits = {{1, std::numeric_limits<int32_t>::max()}, {2, std::numeric_limits<int32_t>::max()}};
    EXPECT_EQ(tk.LoopZaehlen(1), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(tk.PatternVisits[0].visits, std::numeric_limits<int32_t>::max());
}

}  // namespace
