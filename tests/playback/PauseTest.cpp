// A paused song on fakes: the tick takes it neither for ended nor for
// looping, it goes on where it was held, the sleep timer still stops it, and
// every button acts on it as on a playing song.
#include <QFileInfo>

#include "playback/PlayerFixture.h"

namespace {

constexpr qint64 Second = 10000000;  // media units

class Pause : public PlayerFixture {
protected:
    QString a, b, c, mod;
    void SetUp() override {
        a = t.makeFile("music/a.wav");
        b = t.makeFile("music/b.wav");
        c = t.makeFile("music/c.wav");
        mod = t.makeFile("music/d.mod");
        for (const QString& p : {a, b, c, mod}) add(p);
        k.settings.FortwAbspielen = 1;
        k.settings.TimeoutTM = 10;
        k.settings.LoopoutTM = 3;
        tick();
    }
    // Ticks for ms milliseconds while a media song's position moves on.
    void playMedia(int ms) {
        for (int i = 0; i < ms / 100; ++i) {
            t.media.pos += Second / 10;
            tick();
        }
    }
    void press(int control) {
        PassEvent e;
        e.kind = PassEvent::Kind::Control;
        e.window = MainWindowNo;
        e.item = control;
        k.shell.pass(e);
    }
};

TEST_F(Pause, AHeldMediaSongIsNotTakenForEndedAndGoesOnWhereItWas) {
    ASSERT_TRUE(pb.Spielen(QString()));
    playMedia(2000);
    const QString shown = t.view.position;
    ASSERT_TRUE(pb.Pausieren());
    EXPECT_TRUE(pb.paused());
    EXPECT_FALSE(pb.playing());
    EXPECT_FALSE(pb.Pausieren()) << "held already";

    // The position stands still for a minute, as it does at the end of a
    // song: continuous play must not move on, nor mark the song ended.
    ticks(600);
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(pb.heardSong(), a);
    EXPECT_FALSE(pb.halted);
    EXPECT_EQ(t.view.position, shown);
    EXPECT_EQ(count(t.media.calls, "load " + b), 0);

    ASSERT_TRUE(pb.Fortsetzen());
    EXPECT_TRUE(pb.playing());
    EXPECT_EQ(t.media.pos, 20 * Second / 10) << "resumed where it was held";
    // Neither a new load nor a rewind: the engine was only held and let go.
    EXPECT_EQ(count(t.media.calls, "load " + a), 1);
    EXPECT_EQ(count(t.media.calls, "stop"), 0);
    EXPECT_EQ(t.media.calls.filter("seek").size(), 0);

    // A resumed song still ends by the end rule.
    playMedia(500);
    tick();
    EXPECT_EQ(pb.currentSong, b);
}

TEST_F(Pause, AHeldModuleKeepsItsPlaceAndIsNeitherEndedNorStoppedByTheLoopGuard) {
    ASSERT_TRUE(pb.Spielen(mod));
    // A module that loops between two patterns, for 5 s of its 10 s grace.
    int step = 0;
    const auto playRows = [&](int n) {
        for (int i = 0; i < n; ++i, ++step) {
            t.modules.pattern = (step / 4) % 2;
            t.modules.row = step % 4;
            tick();
        }
    };
    playRows(50);
    ASSERT_GT(k.tick.loopCount, k.settings.LoopoutTM);
    const int32_t heldAt = pb.positionMs;
    ASSERT_TRUE(pb.Pausieren());

    // Held for two minutes: the row stands still far longer than the end rule
    // allows, and the time held would exceed the loop guard's grace.
    ticks(1200);
    EXPECT_EQ(pb.currentSong, mod);
    EXPECT_TRUE(t.modules.isLoaded());
    EXPECT_FALSE(pb.halted);
    EXPECT_EQ(pb.positionMs, heldAt) << "the time held is no playing time";
    EXPECT_EQ(t.view.time, timeText(heldAt / 1000));

    ASSERT_TRUE(pb.Fortsetzen());
    EXPECT_EQ(t.modules.calls.filter("load").size(), 1);
    EXPECT_EQ(t.modules.calls.filter("seek").size(), 0) << "resumed, not started again";
    EXPECT_EQ(count(t.modules.calls, "play"), 1);
    EXPECT_EQ(count(t.modules.calls, "resume"), 1);

    // Only playing time counts towards the grace: the loop guard moves on
    // once 10 s have been played, 5.1 s after the resume, not at once.
    int rows = 0;
    for (; rows < 100 && pb.currentSong == mod; ++rows) playRows(1);
    EXPECT_GE(rows, 51);
    EXPECT_LE(rows, 56);
    EXPECT_EQ(pb.currentSong, b) << "continuous play after the loop guard";
}

TEST_F(Pause, AFrozenModuleEndsByTheEndRuleOnlyOnceItPlaysAgain) {
    k.settings.FortwAbspielen = 0;
    ASSERT_TRUE(pb.Spielen(mod));
    t.modules.pattern = 2;
    t.modules.row = 9;
    ticks(15);  // the frozen row of the natural end, 1.5 s of the 2 s rule
    ASSERT_TRUE(pb.Pausieren());
    ticks(100);
    EXPECT_EQ(pb.currentSong, mod);
    ASSERT_TRUE(pb.Fortsetzen());
    ticks(20);
    EXPECT_EQ(pb.currentSong, mod) << "the count starts afresh at resume";
    tick();
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.modules.isLoaded());
}

TEST_F(Pause, TheSleepTimerStopsAHeldSong) {
    k.settings.Snooze = 1;
    k.shell.lastActivityTime = t.clock.tick;
    ASSERT_TRUE(pb.Spielen(QString()));
    playMedia(10000);
    ASSERT_TRUE(pb.Pausieren());
    ticks(505);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_FALSE(pb.paused());
    EXPECT_EQ(t.view.song, "Snooze... ZZzzz...");
}

TEST_F(Pause, TheButtonsActOnAHeldSongAsOnAPlayingOne) {
    k.settings.FortwAbspielen = 0;
    // "Spielen" starts the song anew from its start, no longer held.
    press(CtlPlay);
    playMedia(1000);
    ASSERT_TRUE(pb.Pausieren());
    press(CtlPlay);
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(count(t.media.calls, "load " + a), 2);
    EXPECT_EQ(t.media.pos, 0);
    EXPECT_TRUE(pb.playing());

    // ">|" and "|<" go to the neighbours.
    ASSERT_TRUE(pb.Pausieren());
    press(CtlNext);
    EXPECT_EQ(pb.currentSong, b);
    EXPECT_TRUE(pb.playing());
    ASSERT_TRUE(pb.Pausieren());
    press(CtlPrev);
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_TRUE(pb.playing());

    // The delete moves the held song and plays the next.
    ASSERT_TRUE(pb.Pausieren());
    press(CtlDelete);
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo::exists(k.shell.TrashFolder + "a.wav"));
    EXPECT_EQ(pb.currentSong, b);
    EXPECT_TRUE(pb.playing());

    // "Stopp" releases it.
    ASSERT_TRUE(pb.Pausieren());
    press(CtlStop);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_FALSE(pb.paused());
    EXPECT_FALSE(pb.Pausieren()) << "nothing to hold";
}

}  // namespace
