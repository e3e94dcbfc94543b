#include "playback/PlayerFixture.h"

namespace {

class Alarm : public PlayerFixture {
protected:
    qint64 midnight = 0;
    void SetUp() override {
        midnight = t.clock.local - t.clock.local % 86400;
        k.settings.GWecken = 1;
        k.settings.GWeckenH = 7;
        k.settings.GWeckenM = 30;
        add("/m/a.mp3");
    }
    // Runs the check at h:m:s local time on day `day`; returns how often the
    // alarm has started a song so far.
    int checkAt(int h, int m, int s, int day = 0) {
        t.clock.local = midnight + day * 86400 + h * 3600 + m * 60 + s;
        k.alarm.WeckenPruefen();
        return int(t.media.calls.count("play"));
    }
};

TEST(LocalTime, HourAndMinuteOfLocalSeconds) {
    EXPECT_EQ(localHour(7 * 3600 + 30 * 60 + 59), 7);
    EXPECT_EQ(localMinute(7 * 3600 + 30 * 60 + 59), 30);
    EXPECT_EQ(localHour(86400 * 20000LL + 23 * 3600), 23);
    EXPECT_EQ(localHour(-1), 23);
    EXPECT_EQ(localMinute(-1), 59);
}

TEST_F(Alarm, FiresOnceInItsMinuteAndAgainOnTheNextDay) {
    EXPECT_EQ(checkAt(7, 29, 59), 0);
    t.clock.tick += 5000;
    EXPECT_EQ(checkAt(7, 30, 0), 1);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(k.shell.lastActivityTime, t.clock.tick);
    for (int s = 1; s < 60; ++s) checkAt(7, 30, s);
    EXPECT_EQ(checkAt(7, 31, 0), 1);
    EXPECT_EQ(t.logLines().count("Wecken ist eingetreten"), 1);
    EXPECT_EQ(checkAt(7, 30, 59, 1), 2);  // a late check still in its minute
    EXPECT_EQ(checkAt(7, 30, 59, 1), 2);
    EXPECT_EQ(checkAt(7, 29, 0, 2), 2);
    EXPECT_EQ(checkAt(7, 31, 0, 2), 2);  // a whole minute missed: no firing
}

TEST_F(Alarm, OffDoesNothing) {
    k.settings.GWecken = 0;
    EXPECT_EQ(checkAt(7, 30, 0), 0);
}

TEST_F(Alarm, FiresOnceWhenTheFirstCheckFallsIntoItsMinute) {
    checkAt(7, 30, 10);
    checkAt(7, 30, 11);
    EXPECT_EQ(checkAt(7, 30, 40), 1);
}

TEST_F(Alarm, ChangingTheTimeRearmsEvenWithinTheSameMinute) {
    EXPECT_EQ(checkAt(7, 30, 5), 1);
    k.settings.GWeckenM = 29;
    EXPECT_EQ(checkAt(7, 30, 10), 1);
    k.settings.GWeckenM = 30;  // back to the current minute
    EXPECT_EQ(checkAt(7, 30, 20), 2);
    EXPECT_EQ(checkAt(7, 30, 50), 2);
}

TEST_F(Alarm, ClockSetBackWithinTheMinuteDoesNotFireTwice) {
    checkAt(7, 30, 30);
    checkAt(7, 30, 0);
    EXPECT_EQ(checkAt(7, 30, 59), 1);
    EXPECT_EQ(checkAt(7, 30, 30, 3), 2);  // the machine slept for days
}

TEST_F(Alarm, EmptyListShowsTheMessageOnceAndCountsAsFired) {
    songs.clear();
    checkAt(7, 30, 0);
    checkAt(7, 30, 1);
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - Liedliste leer - kann nichts abspielen!");
    EXPECT_EQ(t.logLines().count("Wecken ist eingetreten"), 1);
}

}  // namespace
