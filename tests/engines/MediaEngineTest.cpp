#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"

using namespace enginetest;

namespace {

constexpr qint64 Second = 10'000'000;  // 100-ns units

class MediaEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        tone2s = write("tone2s.wav", fixtures::wavTone(2.0, 440, 0.5));
    }

    QString write(const QString& name, const QByteArray& data) {
        const QString p = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeFixture(p, data));
        return p;
    }

    // Plays `file` at `volume` into a WAV capture; level in dBFS of the heard sound.
    double capturedLevel(const QString& file, int volume) {
        const QString wav = dir.filePath(QString("capture-%1-%2.wav").arg(volume).arg(++captures));
        useCaptureSink(wav);
        {
            GstMediaEngine e;
            const MediaHandle h = e.load(file);
            EXPECT_NE(h, 0);
            e.setAudio(volume, 0);
            e.play();
            for (int i = 0; i < 500 && e.position(h) < e.length(h) - Second / 10; ++i)
                sleepMs(10);
            sleepMs(100);
            e.release();
        }
        qint64 n = 0;
        const double db = fixtures::wavLevelDb(readAll(wav), 0.2, 1.0, &n);
        EXPECT_GT(n, 20000) << "capture too short";
        return db;
    }

    static bool holdsOpen(const QString& path) {
        const QDir fds("/proc/self/fd");
        for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            char target[4096];
            const ssize_t n = readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target);
            if (n > 0 && QFile::decodeName(QByteArray(target, int(n))) == path)
                return true;
        }
        return false;
    }

    QTemporaryDir dir;
    QString tone2s;
    int captures = 0;
};

TEST(MediaEngineLevel, FollowsTheVolumeAsAnAmplitudePercentage) {
    EXPECT_EQ(GstMediaEngine::levelHundredthsDb(100), 0);
    EXPECT_EQ(GstMediaEngine::levelHundredthsDb(0), -10000);
    EXPECT_EQ(GstMediaEngine::levelHundredthsDb(10), -2000);
    EXPECT_EQ(GstMediaEngine::levelHundredthsDb(1), -4000);
    EXPECT_EQ(GstMediaEngine::levelHundredthsDb(50), -603);
    EXPECT_EQ(GstMediaEngine::levelHundredthsDb(99), -9);
    EXPECT_DOUBLE_EQ(GstMediaEngine::linearVolume(0), 0.0);
    EXPECT_NEAR(GstMediaEngine::linearVolume(50), 0.5, 0.001);
}

TEST_F(MediaEngineTest, LoadsPlaysInRealTimeAndStandsStillAtTheEnd) {
    useRealTimeSink();
    GstMediaEngine e;
    EXPECT_TRUE(e.initialise());
    EXPECT_FALSE(e.isLoaded());
    const MediaHandle h = e.load(write("tone1s.wav", fixtures::wavTone(1.0)));
    ASSERT_NE(h, 0);
    EXPECT_TRUE(e.isLoaded());
    e.setTimeUnit(h);
    EXPECT_NEAR(double(e.length(h)), 1.0 * Second, 0.01 * Second);
    EXPECT_EQ(e.position(h), 0);

    e.play();
    // Right after play the position moves between two ticks 100 ms apart.
    const qint64 p0 = e.position(h);
    sleepMs(100);
    const qint64 p1 = e.position(h);
    EXPECT_GT(p1, p0) << "a song that just started must not look ended";
    sleepMs(300);
    EXPECT_NEAR(double(e.position(h) - p1), 0.3 * Second, 0.12 * Second) << "real time";

    sleepMs(900);  // past the end
    const qint64 end = e.position(h);
    sleepMs(150);
    EXPECT_EQ(e.position(h), end) << "the position stands still once ended";
    EXPECT_NEAR(double(end), 1.0 * Second, 0.1 * Second);
}

TEST_F(MediaEngineTest, SeekStopAndRewind) {
    useRealTimeSink();
    GstMediaEngine e;
    const MediaHandle h = e.load(tone2s);
    ASSERT_NE(h, 0);
    e.seek(h, 15 * Second / 10);
    EXPECT_NEAR(double(e.position(h)), 1.5 * Second, 0.05 * Second);
    e.play();
    sleepMs(200);
    EXPECT_GT(e.position(h), 15 * Second / 10);
    e.stop();
    EXPECT_TRUE(e.isLoaded());
    EXPECT_EQ(e.position(h), 0);
    sleepMs(150);
    EXPECT_EQ(e.position(h), 0) << "stopped means not playing";

    // After the end a seek back plays again.
    e.seek(h, 19 * Second / 10);
    e.play();
    sleepMs(400);
    const qint64 end = e.position(h);
    e.seek(h, Second / 2);
    e.play();
    sleepMs(200);
    EXPECT_GT(e.position(h), Second / 2);
    EXPECT_LT(e.position(h), end);
    EXPECT_EQ(e.length(h + 1), 0) << "a stale handle reads nothing";
}

// A pause holds the position (equal readings are not the end then), a seek
// keeps the pause, and resume goes on from the held place.
TEST_F(MediaEngineTest, PauseHoldsThePlaceAndResumeGoesOnFromThere) {
    useRealTimeSink();
    GstMediaEngine e;
    const MediaHandle h = e.load(tone2s);
    ASSERT_NE(h, 0);
    e.pause();
    EXPECT_FALSE(e.paused()) << "nothing plays yet";
    e.play();
    sleepMs(500);
    e.pause();
    ASSERT_TRUE(e.paused());
    const qint64 held = e.position(h);
    EXPECT_NEAR(double(held), 0.5 * Second, 0.15 * Second);
    sleepMs(400);
    EXPECT_EQ(e.position(h), held);
    EXPECT_EQ(e.position(h), held);

    e.resume();
    EXPECT_FALSE(e.paused());
    const qint64 resumed = e.position(h);
    EXPECT_GE(resumed, held) << "never behind a reading given before";
    EXPECT_LT(resumed, held + Second / 5) << "from the held place, not from where the clock would be";
    sleepMs(300);
    EXPECT_NEAR(double(e.position(h) - held), 0.3 * Second, 0.12 * Second) << "real time again";

    e.pause();
    e.seek(h, 15 * Second / 10);
    EXPECT_TRUE(e.paused());
    EXPECT_NEAR(double(e.position(h)), 1.5 * Second, 0.05 * Second);
    sleepMs(200);
    EXPECT_NEAR(double(e.position(h)), 1.5 * Second, 0.05 * Second) << "still held after the seek";
    e.resume();
    sleepMs(800);  // past the end: ended, not paused
    e.pause();
    EXPECT_FALSE(e.paused()) << "an ended song is not held";
}

TEST_F(MediaEngineTest, VolumeSetsTheHeardLevelAndZeroIsSilence) {
    const double full = capturedLevel(tone2s, 100);
    EXPECT_NEAR(full, -9.03, 0.5) << "a sine at half scale";
    EXPECT_NEAR(capturedLevel(tone2s, 50) - full, -6.03, 0.3);
    EXPECT_NEAR(capturedLevel(tone2s, 10) - full, -20.0, 0.3);
    EXPECT_LT(capturedLevel(tone2s, 0), -150.0) << "volume 0 is silence, not -40 dB";
}

TEST_F(MediaEngineTest, MidiIsSynthesised) {
    const QString mid = write("scale.mid", fixtures::midiFile(4));
    const double level = capturedLevel(mid, 100);
    EXPECT_GT(level, -50.0) << "the MIDI synthesiser must find its soundfont";
}

TEST_F(MediaEngineTest, Mp3Plays) {
    const QString mp3 = dir.filePath("tone.mp3");
    QString why;
    if (!fixtures::mp3Tone(mp3, 2.0, &why))
        GTEST_SKIP() << why.toStdString();
    useFastSink();
    GstMediaEngine e;
    const MediaHandle h = e.load(mp3);
    ASSERT_NE(h, 0);
    EXPECT_NEAR(double(e.length(h)), 2.0 * Second, 0.1 * Second);
    EXPECT_NEAR(capturedLevel(mp3, 100), -9.0, 1.0);
}

// Files that state no length up front: an MP3 without a Xing/Info frame
// (the parser estimates the length once frames flow) and a WAV written as a
// stream (RIFF and data sizes 0xFFFFFFFF). Played in real time, as a listener
// hears them, the length is known right after play.
TEST_F(MediaEngineTest, LengthOfFilesThatStateNoneIsKnownOnceTheyPlay) {
    const QString mp3 = dir.filePath("no-info-frame.mp3");
    QString why;
    if (!fixtures::mp3Tone(mp3, 3.0, &why, false))
        GTEST_SKIP() << why.toStdString();
    QByteArray streamed = fixtures::wavTone(2.0);
    const int data = int(streamed.indexOf("data"));
    ASSERT_GT(data, 0);
    for (int at : {4, data + 4})
        streamed.replace(at, 4, QByteArray(4, char(0xFF)));
    const QString wav = write("streamed.wav", streamed);

    useRealTimeSink();
    for (const auto& [file, seconds] : {std::pair{mp3, 3.0}, std::pair{wav, 2.0}}) {
        SCOPED_TRACE(file.toStdString());
        GstMediaEngine e;
        const MediaHandle h = e.load(file);
        ASSERT_NE(h, 0);
        e.play();
        EXPECT_NEAR(double(e.length(h)), seconds * Second, 0.1 * Second);
        EXPECT_GT(e.position(h), 0);
    }
}

TEST_F(MediaEngineTest, AFileWithAPictureStreamPlaysItsSound) {
    const QString avi = dir.filePath("clip.avi");
    QProcess p;
    p.start("gst-launch-1.0",
            {"-q", "avimux", "name=m", "!", "filesink", "location=" + avi, "videotestsrc", "num-buffers=20", "!",
             "video/x-raw,width=64,height=48,framerate=10/1", "!", "jpegenc", "!", "m.", "audiotestsrc",
             "num-buffers=40", "volume=0.5", "!", "audio/x-raw,rate=44100,channels=1", "!", "m."});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        GTEST_SKIP() << "cannot make a video clip with gst-launch-1.0: " << p.readAllStandardError().toStdString();
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");  // no screen to show pictures on
    const double level = capturedLevel(avi, 100);
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
    EXPECT_GT(level, -20.0);
}

TEST_F(MediaEngineTest, RejectedFilesLeaveTheEngineEmpty) {
    useFastSink();
    GstMediaEngine e;
    ASSERT_NE(e.load(tone2s), 0);
    const QByteArray good = fixtures::wavTone(0.5);
    QByteArray noise(8192, '\0');
    quint32 x = 777;
    for (char& c : noise)
        c = char((x = x * 1103515245u + 12345u) >> 16);
    const QList<QByteArray> bodies = {QByteArray(), QByteArray(8192, '\0'), noise, good.left(30)};
    for (const char* ext : {"mp3", "mid", "wav"}) {
        for (int i = 0; i < bodies.size(); ++i) {
            const QString p = write(QString("bad%1.%2").arg(i).arg(ext), bodies[i]);
            EXPECT_EQ(e.load(p), 0) << p.toStdString();
            EXPECT_FALSE(e.isLoaded());
            EXPECT_EQ(e.position(1), 0);
        }
    }
    // A WAV whose data chunk claims more than the file holds still plays what is there.
    QByteArray lying = good;
    lying[40] = char(0xFF);
    lying[41] = char(0xFF);
    lying[42] = char(0xFF);
    lying[43] = char(0x7F);
    const MediaHandle h = e.load(write("lying.wav", lying));
    if (h) {
        e.play();
        sleepMs(100);
        e.release();
    }
    EXPECT_EQ(e.load(dir.filePath("missing.wav")), 0);
    EXPECT_EQ(e.load(dir.path()), 0);
    EXPECT_FALSE(e.isLoaded());
}

TEST_F(MediaEngineTest, ReleaseClosesTheFileAndLoadingReleasesTheSongBefore) {
    useFastSink();
    GstMediaEngine e;
    const QString other = write("other.wav", fixtures::wavTone(0.5));
    const MediaHandle h1 = e.load(tone2s);
    ASSERT_NE(h1, 0);
    EXPECT_TRUE(holdsOpen(tone2s));
    const MediaHandle h2 = e.load(other);
    ASSERT_NE(h2, 0);
    EXPECT_NE(h1, h2);
    EXPECT_FALSE(holdsOpen(tone2s)) << "loading over a song releases it";
    e.play();
    e.release();
    EXPECT_FALSE(e.isLoaded());
    EXPECT_FALSE(holdsOpen(other));
    EXPECT_EQ(e.position(h2), 0);
    EXPECT_EQ(e.length(h2), 0);
}

TEST_F(MediaEngineTest, FileDeletedOrUnreadable) {
    useFastSink();
    GstMediaEngine e;
    const QString gone = write("gone.wav", fixtures::wavTone(0.5));
    const MediaHandle h = e.load(gone);
    ASSERT_NE(h, 0);
    ASSERT_TRUE(QFile::remove(gone));
    e.play();  // the open file still plays; nothing hangs
    sleepMs(100);
    e.release();

    if (geteuid() == 0) {
        std::printf("running as root: permission bits do not stop reads, unreadable-folder case skipped\n");
        return;
    }
    const QString locked = dir.filePath("locked");
    QDir().mkpath(locked);
    const QString inside = locked + "/tone.wav";
    ASSERT_TRUE(fixtures::writeFixture(inside, fixtures::wavTone(0.5)));
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    EXPECT_EQ(e.load(inside), 0);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace
