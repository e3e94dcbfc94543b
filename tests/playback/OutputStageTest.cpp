#include <cmath>
#include <limits>

#include "playback/PlayerFixture.h"

namespace {

class OutputStageFixture : public PlayerFixture {
protected:
    QStringList asked;
    void useGains(const QHash<QString, double>& gains) {
        pb.output.setGainProvider([this, gains](const QString& path) {
            asked << path;
            return gains.value(path, 1.0);
        });
    }
};

TEST_F(OutputStageFixture, EverySongLoadsAtItsOwnGainAskedOnce) {
    k.settings.FortwAbspielen = 1;
    add("/m/a-loud.wav");
    add("/m/b-quiet.mod");
    add("/m/c-plain.mp3");
    useGains({{"/m/a-loud.wav", 0.25}, {"/m/b-quiet.mod", 3.0}});
    songs.select(0);

    ASSERT_TRUE(pb.Spielen("/m/a-loud.wav"));
    EXPECT_EQ(t.media.gainAtLoad, 0.25) << "the first sample is already at the song's gain";
    EXPECT_EQ(asked, QStringList{"/m/a-loud.wav"});

    // The song ends; continuous play starts the module at its gain.
    t.media.pos = 5;
    tick();
    tick();
    ASSERT_EQ(pb.currentSong, "/m/b-quiet.mod");
    EXPECT_EQ(t.modules.gainAtLoad, 3.0);
    EXPECT_EQ(asked, (QStringList{"/m/a-loud.wav", "/m/b-quiet.mod"}));

    pb.MusNext();
    ASSERT_EQ(pb.currentSong, "/m/c-plain.mp3");
    EXPECT_EQ(t.media.gainAtLoad, 1.0) << "a song the provider does not know plays unchanged";
    // Asked once each, c when it was offered to follow the module; the last
    // is the song to follow c, asked as it is offered.
    EXPECT_EQ(asked, (QStringList{"/m/a-loud.wav", "/m/b-quiet.mod", "/m/c-plain.mp3", "/m/a-loud.wav"}));
}

TEST_F(OutputStageFixture, RefreshAsksAgainForTheSongHeardAndAppliesAtOnce) {
    add("/m/a.mp3");
    double gain = 2.0;
    pb.output.setGainProvider([&](const QString& path) {
        asked << path;
        return gain;
    });
    pb.output.refreshGain();
    EXPECT_TRUE(asked.isEmpty()) << "nothing heard, nothing asked";

    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    gain = 0.5;  // the switch turns levelling off or on
    pb.output.refreshGain();
    EXPECT_EQ(asked, (QStringList{"/m/a.mp3", "/m/a.mp3"}));
    EXPECT_EQ(t.media.gain, 0.5);
    EXPECT_EQ(t.modules.gain, 0.5);

    pb.Stoppen();
    pb.output.refreshGain();
    EXPECT_EQ(asked.size(), 2) << "a stopped song is not heard";
}

TEST_F(OutputStageFixture, BrokenAnswersNeitherSilenceNorBlast) {
    add("/m/a.mp3");
    const double answers[] = {std::nan(""), -1.0, std::numeric_limits<double>::infinity(), 100.0, 0.0};
    const double applied[] = {1.0, 1.0, 1.0, OutputStage::MaxGain, 0.0};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const double answer = answers[i];
        pb.output.setGainProvider([answer](const QString&) { return answer; });
        ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
        EXPECT_EQ(t.media.gainAtLoad, applied[i]);
    }
    pb.output.setGainProvider({});
    ASSERT_TRUE(pb.Spielen("/m/a.mp3"));
    EXPECT_EQ(t.media.gainAtLoad, 1.0) << "no provider: unchanged";
}

}  // namespace
