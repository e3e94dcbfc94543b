#include "playback/PlayerFixture.h"

namespace {

class SleepTimer : public PlayerFixture {
protected:
    void SetUp() override {
        add("/m/a.mp3");
        add("/m/b.mp3");
        add("/m/c.mp3");
        tick();
    }
    // Starts the resume song as a user would: the press is an activity.
    void startByHand() {
        k.shell.lastActivityTime = t.clock.tick;
        ASSERT_TRUE(pb.Spielen(QString()));
    }
    // Ticks for ms milliseconds with a media position that keeps moving.
    void playFor(int ms) {
        for (int i = 0; i < ms / 100; ++i) {
            t.media.pos += 1000000;
            tick();
        }
    }
};

TEST_F(SleepTimer, OffNeverStops) {
    k.settings.Snooze = 0;
    k.settings.FortwAbspielen = 0;
    startByHand();
    for (int hour = 0; hour < 30; ++hour) {
        t.media.pos += 1;
        tick(3600 * 1000);
    }
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
}

TEST_F(SleepTimer, StopsAfterTheMinutesWithoutActivity) {
    k.settings.Snooze = 1;
    startByHand();
    playFor(60000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(100);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(t.view.song, "Snooze... ZZzzz...");
    EXPECT_TRUE(t.logLines().contains("Snooze tritt ein - Musik stoppt"));
    // Quiet afterwards: nothing is logged again.
    playFor(5000);
    EXPECT_EQ(t.logLines().count("Snooze tritt ein - Musik stoppt"), 1);
}

TEST_F(SleepTimer, ActivityRestartsThePeriod) {
    k.settings.Snooze = 5;
    startByHand();
    playFor(60000);
    k.shell.lastActivityTime = t.clock.tick;  // "Lautstärke +3" on the remote
    playFor(4 * 60000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(59900);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(200);
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

TEST_F(SleepTimer, SongChangesAreNoActivity) {
    k.settings.Snooze = 1;
    startByHand();
    QStringList seen;
    for (int i = 0; i < 650 && !pb.currentSong.isEmpty(); ++i) {
        if (!seen.contains(pb.currentSong)) seen << pb.currentSong;
        if (i % 50 != 49) t.media.pos += 1000000;  // each song ends after 5 s
        tick();
    }
    EXPECT_GE(seen.size(), 3);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_EQ(t.view.song, "Snooze... ZZzzz...");
}

TEST_F(SleepTimer, NegativeMinutesCountAsOff) {
    k.settings.Snooze = -3;
    startByHand();
    playFor(1000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
}

TEST_F(SleepTimer, HugeMinutesDoNotOverflow) {
    k.settings.Snooze = 40000;  // more than 2^31 ms
    startByHand();
    playFor(1000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
}

TEST_F(SleepTimer, AlarmFiringCountsAsActivity) {
    k.settings.Snooze = 1;
    k.shell.lastActivityTime = t.clock.tick - 10 * 60000;  // asleep for ten minutes
    const qint64 midnight = t.clock.local - t.clock.local % 86400;
    k.settings.GWecken = 1;
    k.settings.GWeckenH = 6;
    k.settings.GWeckenM = 0;
    t.clock.local = midnight + 6 * 3600;
    k.alarm.WeckenPruefen();
    ASSERT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(k.shell.lastActivityTime, t.clock.tick);
    playFor(59000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(2000);
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

}  // namespace
