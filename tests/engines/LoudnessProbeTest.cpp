// The real measurement: files decoded and modules rendered by the renderer
// process in its measuring mode, measured with the EBU R128 meter.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "engines/EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/LoudnessProbe.h"

namespace {

const QString Modules = QStringLiteral("*.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm");

std::optional<Loudness> measure(const QString& path, int loopLimit = 30, int loopSeconds = 120) {
    // At the usual priority: the machine running the suite is busy, and
    // these tests check what is measured, not how politely.
    qputenv("KALVO2_MEASURE_NICE", "0");
    std::atomic<bool> cancel{false};
    return LoudnessProbe(enginetest::rendererPath(), Modules, loopLimit, loopSeconds).measure(path, cancel);
}

double db(double linear) { return 20.0 * std::log10(linear); }

}  // namespace

TEST(LoudnessProbe, MeasuresMediaFilesAtTheirLevels) {
    QTemporaryDir tmp;
    const QString loud = tmp.filePath("loud.wav"), quiet = tmp.filePath("quiet.wav");
    ASSERT_TRUE(fixtures::writeFixture(loud, fixtures::wavTone(4, 1000, 0.5, 44100, 2)));
    ASSERT_TRUE(fixtures::writeFixture(quiet, fixtures::wavTone(4, 1000, 0.5 / 15.8489, 48000, 2)));
    const auto l = measure(loud), q = measure(quiet);
    ASSERT_TRUE(l && q);
    // A 1 kHz sine on both channels (where the K filter's gain and R128's
    // offset cancel): its RMS (-9 dBFS) plus 3 dB for two channels.
    EXPECT_NEAR(l->lufs, -6.02, 0.3);
    EXPECT_NEAR(q->lufs - l->lufs, -24.0, 0.3);
    EXPECT_NEAR(db(l->peak), -6.02, 0.2);
    // A mono song is heard on both speakers, and measured so.
    const QString mono = tmp.filePath("mono.wav");
    ASSERT_TRUE(fixtures::writeFixture(mono, fixtures::wavTone(4, 1000, 0.5, 44100, 1)));
    const auto m1 = measure(mono);
    ASSERT_TRUE(m1);
    EXPECT_NEAR(m1->lufs, l->lufs, 0.1);

    // The same tone as an MP3.
    const QString mp3 = tmp.filePath("tone.mp3");
    QString why;
    if (fixtures::mp3Tone(mp3, 4, &why)) {
        const auto m = measure(mp3);
        ASSERT_TRUE(m);
        EXPECT_NEAR(db(m->peak), -6.0, 1.0);
        EXPECT_GT(m->lufs, -15.0);
    }

    // Not audio at all: no value, and the probe says so.
    const QString junk = tmp.filePath("junk.wav");
    ASSERT_TRUE(fixtures::writeFixture(junk, QByteArray(5000, 'x')));
    EXPECT_FALSE(measure(junk).has_value());
    EXPECT_FALSE(measure(tmp.filePath("missing.mp3")).has_value());
}

TEST(LoudnessProbe, TakesReplayGainTagsInsteadOfMeasuring) {
    QTemporaryDir tmp;
    const QString mp3 = tmp.filePath("tagged.mp3");
    QString why;
    if (!fixtures::mp3Tone(mp3, 2, &why, true,
                           {"--tv", "TXXX=REPLAYGAIN_TRACK_GAIN=-4.50 dB", "--tv", "TXXX=REPLAYGAIN_TRACK_PEAK=0.700000"}))
        GTEST_SKIP() << why.toStdString();
    const auto m = measure(mp3);
    ASSERT_TRUE(m);
    EXPECT_NEAR(m->lufs, -18.0 + 4.5, 0.01);
    EXPECT_NEAR(m->peak, 0.7, 0.001);
}

TEST(LoudnessProbe, MeasuresModulesAndMidiAsTheyPlay) {
    QTemporaryDir tmp;
    // A module that ends, and one that loops for ever: the loop guard's rule
    // (here: more than 2 repeats after more than 3 s) bounds the measuring.
    const QString ends = tmp.filePath("ends.mod"), loops = tmp.filePath("loops.mod");
    ASSERT_TRUE(fixtures::writeFixture(ends, fixtures::protrackerModule(3, 16, 3, false)));
    ASSERT_TRUE(fixtures::writeFixture(loops, fixtures::protrackerModule(3, 16, 3, true)));
    const auto e = measure(ends), l = measure(loops, 2, 3);
    ASSERT_TRUE(e && l);
    EXPECT_GT(e->lufs, -40.0);
    EXPECT_GT(e->peak, 0.01);
    // The same notes, so the same loudness however long it was heard.
    EXPECT_NEAR(l->lufs, e->lufs, 1.5);

    const QString mid = tmp.filePath("scale.mid");
    ASSERT_TRUE(fixtures::writeFixture(mid, fixtures::midiFile(8)));
    const auto m = measure(mid);
    ASSERT_TRUE(m);
    EXPECT_GT(m->lufs, -60.0);
    EXPECT_LT(m->lufs, -5.0);
    EXPECT_GT(m->peak, 0.0);
}
