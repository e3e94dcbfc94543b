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
    }
    // Runs the check at the given local time of day on day `day`.
    void checkAt(int h, int m, int s, int day = 0) {
        t.clock.local = midnight + day * 86400 + h * 3600 + m * 60 + s;
        k.alarm.WeckenPruefen();
    }
    int plays() const { return int(t.media.calls.count("play")); }
    int fired() const { return int(t.logLines().count("Wecken ist eingetreten")); }
};

TEST(LocalTime, HourAndMinuteOfLocalSeconds) {
    EXPECT_EQ(localHour(0), 0);
    EXPECT_EQ(localHour(7 * 3600 + 30 * 60 + 59), 7);
    EXPECT_EQ(localMinute(7 * 3600 + 30 * 60 + 59), 30);
    EXPECT_EQ(localHour(86400 * 20000LL + 23 * 3600), 23);
    EXPECT_EQ(localHour(-1), 23);
    EXPECT_EQ(localMinute(-1), 59);
}

TEST_F(Alarm, FiresOnceInItsMinuteAndAgainOnTheNextDay) {
    add("/m/a.mp3");
    checkAt(7, 29, 59);
    EXPECT_EQ(plays(), 0);
    t.clock.tick += 5000;
    checkAt(7, 30, 0);
    EXPECT_EQ(plays(), 1);
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_EQ(k.shell.lastActivityTime, t.clock.tick);
    EXPECT_EQ(fired(), 1);
    for (int s = 0; s < 60; ++s) checkAt(7, 30, s);
    checkAt(7, 31, 0);
    checkAt(12, 0, 0);
    EXPECT_EQ(plays(), 1);
    EXPECT_EQ(fired(), 1);
    checkAt(7, 29, 59, 1);
    EXPECT_EQ(plays(), 1);
    checkAt(7, 30, 0, 1);
    EXPECT_EQ(plays(), 2);
    checkAt(7, 30, 1, 1);
    EXPECT_EQ(plays(), 2);
}

TEST_F(Alarm, FiresOnceWhenTheFirstCheckFallsIntoItsMinute) {
    add("/m/a.mp3");
    checkAt(7, 30, 10);
    checkAt(7, 30, 11);
    checkAt(7, 30, 40);
    EXPECT_EQ(plays(), 1);
}

TEST_F(Alarm, OffDoesNothing) {
    add("/m/a.mp3");
    k.settings.GWecken = 0;
    checkAt(7, 30, 0);
    EXPECT_EQ(plays(), 0);
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

TEST_F(Alarm, LateCheckStillInItsMinuteFires) {
    add("/m/a.mp3");
    checkAt(7, 29, 0);
    checkAt(7, 30, 59);  // a message box kept the loop busy until now
    EXPECT_EQ(plays(), 1);
    checkAt(7, 29, 0, 1);
    checkAt(7, 31, 0, 1);  // missed the whole minute: no firing
    EXPECT_EQ(plays(), 1);
}

TEST_F(Alarm, ChangingTheTimeRearmsEvenWithinTheSameMinute) {
    add("/m/a.mp3");
    checkAt(7, 30, 5);
    EXPECT_EQ(plays(), 1);
    k.settings.GWeckenM = 29;
    checkAt(7, 30, 10);
    EXPECT_EQ(plays(), 1);
    k.settings.GWeckenM = 30;  // set to the current minute again
    checkAt(7, 30, 20);
    EXPECT_EQ(plays(), 2);
    checkAt(7, 30, 21);
    checkAt(7, 30, 50);
    EXPECT_EQ(plays(), 2);
}

TEST_F(Alarm, SetToTheCurrentMinuteFiresAtTheNextCheck) {
    add("/m/a.mp3");
    k.settings.GWeckenH = 9;
    checkAt(14, 15, 0);
    k.settings.GWeckenH = 14;
    k.settings.GWeckenM = 15;
    checkAt(14, 15, 1);
    EXPECT_EQ(plays(), 1);
    checkAt(14, 15, 2);
    EXPECT_EQ(plays(), 1);
}

TEST_F(Alarm, ClockSetBackWithinTheMinuteDoesNotFireTwice) {
    add("/m/a.mp3");
    checkAt(7, 30, 30);
    checkAt(7, 30, 0);
    checkAt(7, 30, 59);
    EXPECT_EQ(plays(), 1);
    checkAt(7, 30, 30, 3);  // the machine slept for days
    EXPECT_EQ(plays(), 2);
}

TEST_F(Alarm, EmptyListShowsTheMessageOnceAndCountsAsFired) {
    checkAt(7, 30, 0);
    checkAt(7, 30, 1);
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - Liedliste leer - kann nichts abspielen!");
    EXPECT_EQ(fired(), 1);
}

TEST_F(Alarm, RestartsTheResumeSongWhilePlaying) {
    add("/m/a.mp3");
    add("/m/b.mp3");
    pb.lastSongPath = "/m/b.mp3";
    ASSERT_TRUE(pb.Spielen(QString()));
    t.media.calls.clear();
    checkAt(7, 30, 0);
    EXPECT_EQ(t.media.calls.mid(0, 3), (QStringList{"stop", "release", "load /m/b.mp3"}));
    EXPECT_EQ(plays(), 1);
}

}  // namespace
