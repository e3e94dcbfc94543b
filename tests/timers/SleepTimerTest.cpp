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
    // Ticks for ms milliseconds while the media position keeps moving.
    void playFor(int ms) {
        for (int i = 0; i < ms / 100; ++i) {
            t.media.pos += 1000000;
            tick();
        }
    }
};

TEST_F(SleepTimer, StopsAfterTheMinutesWithoutActivityOnlyWhenSet) {
    for (int32_t minutes : {0, -3, 40000}) {  // off, hand-edited nonsense, beyond 2^31 ms
        SCOPED_TRACE(minutes);
        k.settings.Snooze = minutes;
        startByHand();
        playFor(70000);
        EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    }
    k.settings.Snooze = 1;
    startByHand();
    playFor(60000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(100);
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_FALSE(t.media.isLoaded());
    EXPECT_EQ(t.view.song, "Snooze... ZZzzz...");
    playFor(5000);  // quiet afterwards
    EXPECT_EQ(t.logLines().count("Snooze tritt ein - Musik stoppt"), 1);
}

TEST_F(SleepTimer, ActivityRestartsThePeriod) {
    k.settings.Snooze = 5;
    startByHand();
    playFor(60000);
    k.shell.lastActivityTime = t.clock.tick;  // "Lautstärke +3" on the remote
    playFor(4 * 60000 + 59900);
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
    EXPECT_EQ(seen.size(), 3);
    EXPECT_EQ(t.view.song, "Snooze... ZZzzz...");
}

TEST_F(SleepTimer, AlarmFiringCountsAsActivity) {
    k.settings.Snooze = 1;
    k.shell.lastActivityTime = t.clock.tick - 10 * 60000;  // asleep for ten minutes
    k.settings.GWecken = 1;
    k.settings.GWeckenH = 6;
    k.settings.GWeckenM = 0;
    t.clock.local = t.clock.local - t.clock.local % 86400 + 6 * 3600;
    k.alarm.WeckenPruefen();
    ASSERT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(59000);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playFor(2000);
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

}  // namespace
