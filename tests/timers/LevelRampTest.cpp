// The sleep timer's fade and the alarm's rise on fakes: the engines' output
// level over time, activity in the middle, continuous play during both, and
// the stop moment of the sleep timer unchanged.
#include "playback/PlayerFixture.h"

namespace {

class LevelRamp : public PlayerFixture {
protected:
    void SetUp() override {
        add("/m/a.mp3");
        add("/m/b.mod");
        add("/m/c.mp3");
        add("/m/d.mp3");
        k.settings.TrackerModDateiPattern = "*.mod";
        k.settings.WinMediaDateiPattern = "*.mp3";
        t.view.volume = 80;
        tick();
    }
    void startByHand() {
        k.shell.lastActivityTime = t.clock.tick;
        ASSERT_TRUE(pb.Spielen(QString()));
    }
    // One 100 ms tick while the song plays on (media position and module
    // rows keep moving).
    void playTick() {
        t.media.pos += 1000000;
        t.modules.row = (t.modules.row + 1) % 64;
        tick();
    }
    // The level of the engine that plays the current song.
    double level() const { return pb.moduleSong == 1 ? t.modules.level : t.media.level; }
    // Plays for ms and returns the level seen at every full 5 s from now.
    QVector<double> levelsEvery5s(int ms) {
        QVector<double> out;
        for (int i = 1; i <= ms / 100; ++i) {
            playTick();
            if (i % 50 == 0) out << (pb.currentSong.isEmpty() ? -1.0 : level());
        }
        return out;
    }
    static double curve(double x) { return x * x; }
};

TEST_F(LevelRamp, SleepFadeFallsOverTheLastHalfMinuteAndStopsWhenItWouldWithoutIt) {
    k.settings.Snooze = 1;
    startByHand();
    const QVector<double> seen = levelsEvery5s(55000);
    ASSERT_EQ(seen.size(), 11);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(seen[i], 1.0) << "at " << 5 * (i + 1) << " s";
    for (int i = 5; i < 11; ++i) {
        const double left = 60.0 - 5 * (i + 1);
        EXPECT_NEAR(seen[i], curve(left / 30.0), 1e-9) << "at " << 5 * (i + 1) << " s";
    }
    // Every step is small: the sound glides, it does not jump.
    for (int i = 1; i < t.media.levels.size(); ++i)
        EXPECT_LE(t.media.levels[i - 1] - t.media.levels[i], 0.01) << i;
    // The stop comes at the first tick past the minute, as without the fade.
    for (int i = 0; i < 50; ++i) playTick();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    EXPECT_LT(level(), 1e-4);
    playTick();
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_EQ(t.view.song, "Snooze... ZZzzz...");
    // Neither the slider nor the song's volume moved; the engines are at full
    // level again for whatever plays next.
    EXPECT_EQ(t.view.volume, 80);
    EXPECT_EQ(t.media.lastVolume, 80);
    EXPECT_EQ(t.media.level, 1.0);
    EXPECT_EQ(t.modules.level, 1.0);
}

TEST_F(LevelRamp, ActivityDuringTheFadeBringsTheLevelBackAndRestartsThePeriod) {
    k.settings.Snooze = 1;
    startByHand();
    levelsEvery5s(45000);
    ASSERT_NEAR(level(), curve(15.0 / 30.0), 1e-9);
    k.shell.markActivity();  // a key on the remote
    playTick();
    EXPECT_EQ(level(), 1.0) << "at once";
    const QVector<double> seen = levelsEvery5s(55000);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(seen[i], 1.0) << "the full period again";
    EXPECT_LT(seen[10], 0.03);
    for (int i = 0; i < 49 && !pb.currentSong.isEmpty(); ++i) playTick();  // a minute after it
    EXPECT_EQ(pb.currentSong, "/m/a.mp3") << "not before a minute after the activity";
    playTick();
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

TEST_F(LevelRamp, ContinuousPlayDuringTheFadeKeepsFadingOnBothEngines) {
    k.settings.Snooze = 1;
    k.settings.FortwAbspielen = 1;
    startByHand();
    levelsEvery5s(40000);
    QStringList seen{pb.currentSong};
    double last = level();
    for (int i = 0; i < 195 && !pb.currentSong.isEmpty(); ++i) {
        // Each song ends 4 s after its start (media: the position stands
        // still; module: the row freezes).
        if (i % 40 == 39) {
            const QString before = pb.currentSong;
            for (int j = 0; j < 25 && pb.currentSong == before; ++j) tick();
        } else {
            playTick();
        }
        if (pb.currentSong.isEmpty()) break;
        if (!seen.contains(pb.currentSong)) {
            seen << pb.currentSong;
            if (pb.moduleSong == 0) EXPECT_LE(t.media.levelAtLoad, last + 1e-9) << "loads at the faded level";
        }
        EXPECT_LE(level(), last + 1e-9) << pb.currentSong.toStdString();
        last = level();
    }
    EXPECT_GE(seen.size(), 3) << seen.join(' ').toStdString();
    EXPECT_TRUE(seen.contains("/m/b.mod"));
    EXPECT_EQ(t.modules.lastVolume, 80);
}

class AlarmRise : public LevelRamp {
protected:
    void fire() {
        k.settings.GWecken = 1;
        k.settings.GWeckenH = 6;
        k.settings.GWeckenM = 0;
        t.clock.local = t.clock.local - t.clock.local % 86400 + 6 * 3600;
        k.alarm.WeckenPruefen();
        ASSERT_EQ(pb.currentSong, "/m/a.mp3");
    }
};

TEST_F(AlarmRise, RisesFromSilenceToTheVolumeOverAMinute) {
    fire();
    EXPECT_EQ(t.media.levelAtLoad, 0.0) << "the first sample is already silent";
    const QVector<double> seen = levelsEvery5s(65000);
    for (int i = 0; i < 11; ++i) EXPECT_NEAR(seen[i], curve(5.0 * (i + 1) / 60.0), 1e-9) << 5 * (i + 1) << " s";
    EXPECT_EQ(seen[11], 1.0);
    EXPECT_EQ(seen[12], 1.0);
    for (int i = 1; i < t.media.levels.size(); ++i)
        EXPECT_LE(t.media.levels[i] - t.media.levels[i - 1], 0.01) << i;
    EXPECT_EQ(t.media.lastVolume, 80) << "the list's volume is what it rises to";
}

TEST_F(AlarmRise, ActivitySetsTheVolumeAtOnceAndContinuousPlayKeepsRising) {
    k.settings.FortwAbspielen = 1;
    fire();
    levelsEvery5s(10000);
    // The song ends: the next one (a module) goes on rising.
    for (int j = 0; j < 25 && pb.currentSong == "/m/a.mp3"; ++j) tick();
    ASSERT_EQ(pb.currentSong, "/m/b.mod");
    playTick();
    const double atModule = t.modules.level;
    EXPECT_GT(atModule, 0.0);
    EXPECT_LT(atModule, curve(13.0 / 60.0));
    levelsEvery5s(10000);
    EXPECT_GT(t.modules.level, atModule);
    EXPECT_LT(t.modules.level, 0.2);
    k.shell.markActivity();  // "Lautstärke +3"
    playTick();
    EXPECT_EQ(t.modules.level, 1.0);
    const QVector<double> seen = levelsEvery5s(20000);
    for (double l : seen) EXPECT_EQ(l, 1.0) << "the rise has ended";
}

TEST_F(AlarmRise, ASleepTimerFadesTheRiseAndStopsOnTime) {
    k.settings.Snooze = 1;
    fire();
    const QVector<double> seen = levelsEvery5s(55000);
    EXPECT_NEAR(seen[2], curve(15.0 / 60.0), 1e-9);                        // rising only
    EXPECT_NEAR(seen[8], curve(45.0 / 60.0) * curve(15.0 / 30.0), 1e-9);  // both
    for (int i = 0; i < 50; ++i) playTick();
    EXPECT_EQ(pb.currentSong, "/m/a.mp3");
    playTick();
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

}  // namespace
