#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/DeletionSound.h"
#include "playback/WavParser.h"
#include "playback/engines/GstSoundEffects.h"

using namespace enginetest;

namespace {

TEST(DeletionSound, IsAShortMonoPcmWave) {
    const QByteArray img = builtinDeletionSound();
    WavSound w;
    ASSERT_TRUE(parseWav(img, w));
    EXPECT_EQ(w.format, 1);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.sampleRate, 22050);
    EXPECT_EQ(w.bitsPerSample, 16);
    EXPECT_EQ(w.data.size(), 8364);
    EXPECT_EQ(img.size(), 44 + 8364);
    EXPECT_GT(fixtures::wavLevelDb(img), -30.0) << "audible";
}

TEST(WavParser, AcceptsWellFormedImages) {
    WavSound w;
    ASSERT_TRUE(parseWav(fixtures::wavTone(0.1, 440, 0.5, 44100, 2), w));
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.blockAlign, 4);
    EXPECT_EQ(w.data.size(), 4410 * 4);
    // Unknown chunks (odd length, padded) before "data" are skipped.
    QByteArray img = fixtures::wavTone(0.01);
    QByteArray extra("LIST");
    extra.append(QByteArray::fromHex("03000000") + "abc" + QByteArray(1, '\0'));
    img.insert(36, extra);
    const quint32 riff = quint32(img.size() - 8);
    img[4] = char(riff & 0xFF);
    img[5] = char((riff >> 8) & 0xFF);
    ASSERT_TRUE(parseWav(img, w));
    EXPECT_EQ(w.data.size(), 441 * 2);
}

TEST(WavParser, RejectsDamage) {
    const QByteArray good = fixtures::wavTone(0.01);
    WavSound w;
    w.sampleRate = -1;
    auto patched = [&](int pos, quint32 v) {
        QByteArray b = good;
        for (int i = 0; i < 4; ++i)
            b[pos + i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    EXPECT_FALSE(parseWav({}, w));
    EXPECT_FALSE(parseWav(QByteArray(64, '\0'), w));
    for (int cut : {4, 11, 12, 20, 36, 43, 44})
        EXPECT_FALSE(parseWav(good.left(cut), w)) << cut;
    EXPECT_FALSE(parseWav(patched(40, 0xFFFFFFFF), w)) << "data longer than the file";
    EXPECT_FALSE(parseWav(patched(40, quint32(good.size())), w));
    EXPECT_FALSE(parseWav(patched(16, 0xFFFFFFF0), w)) << "fmt longer than the file";
    EXPECT_FALSE(parseWav(patched(4, quint32(good.size())), w)) << "RIFF longer than the file";
    EXPECT_FALSE(parseWav(patched(16, 8), w)) << "fmt too short";
    EXPECT_FALSE(parseWav(patched(40, 0), w)) << "no samples";
    QByteArray zeroChannels = good;
    zeroChannels[22] = 0;
    EXPECT_FALSE(parseWav(zeroChannels, w));
    QByteArray compressed = good;
    compressed[20] = 2;  // ADPCM
    EXPECT_FALSE(parseWav(compressed, w));
    EXPECT_EQ(w.sampleRate, -1) << "a failed parse leaves the result alone";
}

TEST(SoundEffects, LoadsPlaysWithoutWaitingAndIsHeard) {
    QTemporaryDir dir;
    const QString capture = dir.filePath("sound.wav");
    useCaptureSink(capture);
    {
        GstSoundEffects s;
        ASSERT_TRUE(s.initialise());
        EXPECT_FALSE(s.exists(DeletionSoundNumber));
        s.play(DeletionSoundNumber);  // nothing loaded: nothing happens
        EXPECT_EQ(s.activeCount(), 0);
        ASSERT_TRUE(s.loadFromMemory(DeletionSoundNumber, builtinDeletionSound()));
        EXPECT_TRUE(s.exists(DeletionSoundNumber));
        s.play(DeletionSoundNumber);
        EXPECT_EQ(s.activeCount(), 1);
        for (int i = 0; i < 200 && s.activeCount() > 0; ++i) {
            sleepMs(10);
            s.collectFinished();
        }
        EXPECT_EQ(s.activeCount(), 0) << "a finished sound is collected";
    }
    qint64 n = 0;
    EXPECT_GT(fixtures::wavLevelDb(readAll(capture), 0, 1, &n), -30.0);
    EXPECT_GE(n, 4000);
}

TEST(SoundEffects, FilesAreCheckedBeforeUse) {
    QTemporaryDir dir;
    useFastSink();
    GstSoundEffects s;
    ASSERT_TRUE(s.initialise());
    const QString good = dir.filePath("delete.wav");
    ASSERT_TRUE(fixtures::writeFixture(good, fixtures::wavTone(0.1, 880, 0.5, 11025, 2)));
    EXPECT_TRUE(s.loadFromFile(7, good));
    const QString bad = dir.filePath("bad.wav");
    QByteArray lying = fixtures::wavTone(0.1);
    lying[40] = char(0xFF);
    lying[43] = char(0x7F);
    ASSERT_TRUE(fixtures::writeFixture(bad, lying));
    EXPECT_FALSE(s.loadFromFile(8, bad));
    EXPECT_FALSE(s.exists(8));
    EXPECT_FALSE(s.loadFromFile(9, dir.filePath("missing.wav")));
    EXPECT_FALSE(s.loadFromMemory(DeletionSoundNumber, QByteArray(100, '\0')));
    for (int i = 0; i < 10; ++i)
        s.play(7);
    EXPECT_LE(s.activeCount(), GstSoundEffects::MaxActive);
}

}  // namespace
