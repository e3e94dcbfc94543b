// The media engine through a real PulseAudio server of the test's own, as
// on a desktop: the position that the playback tick reads, and a server
// that dies under a song and comes back.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"
#include "playback/engines/GstMediaEngine.h"

using namespace enginetest;

namespace {

constexpr qint64 Second = 10'000'000;  // 100-ns units

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QString why;
        if (!server.start(&why)) GTEST_SKIP() << "PulseAudio cannot start here: " << why.toStdString();
        server.exportAddress();
        useSink("pulsesink");
        engine.logger = [this](const QString& line) { logs << line; };
    }
    void TearDown() override {
        engine.release();
        qunsetenv("PULSE_SERVER");
        useFastSink();
    }

    QString song(const QString& name, double seconds) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeFixture(path, fixtures::wavTone(seconds)));
        return path;
    }
    // Positions read every 100 ms, as the tick reads them, until three in a
    // row are equal or `maxMs` passed.
    QVector<qint64> readUntilStill(MediaHandle h, int maxMs, QVector<qint64>* wallUnits = nullptr) {
        QVector<qint64> seen;
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < maxMs) {
            seen << engine.position(h);
            if (wallUnits) *wallUnits << wall.nsecsElapsed() / 100;
            const int n = int(seen.size());
            if (n >= 3 && seen[n - 1] == seen[n - 2] && seen[n - 2] == seen[n - 3]) break;
            sleepMs(100);
        }
        return seen;
    }

    QTemporaryDir dir;
    fixtures::PulseServer server;
    GstMediaEngine engine;
    QStringList logs;
};

// The tick takes two equal readings for the end. A sound server holds the
// sink's report still while it starts a stream (and now and then later), so
// the engine must keep moving until the end of the stream and then stand.
TEST_F(SoundServer, ThePositionMovesAtEveryTickUntilTheEndAndThenStandsStill) {
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const MediaHandle h = engine.load(song(QStringLiteral("song%1.wav").arg(n), 1.0));
        ASSERT_NE(h, 0);
        const qint64 length = engine.length(h);
        ASSERT_NEAR(double(length), 1.0 * Second, 0.01 * Second);
        QElapsedTimer sincePlay;
        sincePlay.start();
        engine.play();
        const qint64 playUnits = sincePlay.nsecsElapsed() / 100;
        QVector<qint64> wall;
        const QVector<qint64> seen = readUntilStill(h, 6000, &wall);
        ASSERT_GE(seen.size(), 3);
        int firstEqual = -1;
        for (int i = 1; i < seen.size(); ++i) {
            ASSERT_GE(seen[i], seen[i - 1]) << "the position went back at reading " << i;
            if (firstEqual < 0 && seen[i] == seen[i - 1]) firstEqual = i;
            // Never ahead of what could have been heard since play was called.
            EXPECT_LE(seen[i], playUnits + wall[i] + Second / 20) << "reading " << i;
        }
        ASSERT_GE(firstEqual, 1) << "the position never stood still";
        EXPECT_GE(seen[firstEqual], length - Second / 10)
            << "two equal readings at " << seen[firstEqual] / 10000 << " ms of " << length / 10000
            << " ms: the song would be skipped";
        EXPECT_NEAR(double(seen.last()), double(length), 0.1 * Second) << "stands at the end";
        sleepMs(150);
        EXPECT_EQ(engine.position(h), seen.last()) << "constant once ended";
    }
    EXPECT_TRUE(logs.isEmpty()) << logs.join('\n').toStdString();
}

// The server dies under a song: the song ends with the output's own words in
// the log, a load while it is away fails as the output's fault (not the
// file's), and once it is back the next song plays.
TEST_F(SoundServer, AServerThatDiesIsTheOutputsFaultAndTheNextSongPlaysWhenItIsBack) {
    const QString first = song("first.wav", 3.0);
    const QString second = song("second.wav", 3.0);
    const QString noSong = dir.filePath("text.wav");
    ASSERT_TRUE(fixtures::writeFixture(noSong, "not a sound at all"));

    MediaHandle h = engine.load(first);
    ASSERT_NE(h, 0);
    engine.play();
    sleepMs(500);
    ASSERT_GT(engine.position(h), 0);
    server.kill();
    const QVector<qint64> seen = readUntilStill(h, 3000);
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.last(), seen[seen.size() - 3]) << "the song ends when its output is gone";
    EXPECT_LT(seen.last(), 2 * Second);
    ASSERT_EQ(logs.size(), 1) << logs.join('\n').toStdString();
    EXPECT_TRUE(logs[0].startsWith("MediaEngine: sound output failed while playing " + first + ": "))
        << logs[0].toStdString();

    EXPECT_EQ(engine.load(second), 0) << "no server, no song";
    EXPECT_TRUE(engine.outputFailed()) << "the output failed, not the file";
    EXPECT_FALSE(engine.isLoaded());
    ASSERT_EQ(logs.size(), 2) << logs.join('\n').toStdString();
    EXPECT_TRUE(logs[1].startsWith("MediaEngine: the sound output cannot play " + second + ": "))
        << logs[1].toStdString();

    ASSERT_TRUE(server.start());
    h = engine.load(second);
    ASSERT_NE(h, 0) << "the server is back";
    EXPECT_FALSE(engine.outputFailed());
    engine.play();
    EXPECT_TRUE(waitUntil([&] { return engine.position(h) > Second / 2; }, 4000)) << "the next song plays";

    // A file that no decoder takes is the file's fault, with the output there.
    EXPECT_EQ(engine.load(noSong), 0);
    EXPECT_FALSE(engine.outputFailed());
    EXPECT_EQ(logs.size(), 2) << logs.join('\n').toStdString();
}

}  // namespace
