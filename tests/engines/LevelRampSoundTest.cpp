// The sleep timer's fade and the alarm's rise as a listener hears them: the
// real engines play into a capture sink that takes the sound in real time
// (raw samples into a file sink synchronised to the clock), so the file's
// timeline is the listener's from the song's first sample on. The player's
// clock runs ten times as fast as the wall clock (the fake clock is moved
// by ten times the real time between ticks), so the half-minute fade lasts
// 3 s of sound and the minute's rise 6 s.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "EngineTestSupport.h"
#include "fakes/Fakes.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/RendererModuleEngine.h"

using namespace enginetest;

namespace {

constexpr int Speed = 10;                                    // player ms per wall ms
constexpr int Rate = 8000;                                   // captured samples per second
constexpr int WindowSamples = Rate * 5 / Speed;              // 5 s of player time

class LevelRampSound : public ::testing::Test {
protected:
    void SetUp() override {
        // One file for both engines (the renderer inherits the descriptor);
        // appended to, so a flushing seek of the media engine's stop cuts
        // nothing off.
        capture = t.path("heard.raw");
        const int opened = ::open(QFile::encodeName(capture).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
        ASSERT_GE(opened, 0);
        fd = ::fcntl(opened, F_DUPFD, 100);  // clear of the renderer's own descriptors 3 and 4
        ::close(opened);
        ASSERT_GE(fd, 0);
        useSink("audioconvert ! audioresample ! audio/x-raw,format=S16LE,channels=1,rate=8000 ! "
                "fdsink sync=true fd=" + QString::number(fd));
        modules.rendererPath = rendererPath();
        ASSERT_TRUE(media.initialise());
        ASSERT_TRUE(modules.initialise());
        Services s{t.view, t.messages, t.clock, t.desktop, t.files, t.random, t.progress, t.fileDialogs, t.windows,
                   media, modules, t.sounds};
        k = std::make_unique<Kalvo>(s);
        k->shell.dataFolder = t.k->shell.dataFolder;
        k->shell.TrashFolder = t.k->shell.TrashFolder;
        k->shell.logFile = t.k->shell.logFile;
        k->settings.TrackerModDateiPattern = "*.mod";
        k->settings.WinMediaDateiPattern = "*.wav";
        k->settings.FortwAbspielen = 0;
        k->settings.LoopoutTM = 1000000;  // the endless module is no loop to guard against here
        t.view.volume = 100;
        // A steady tone for the media engine, an endless module for the other.
        song = t.path("music/ton.wav");
        ASSERT_TRUE(fixtures::writeFixture(song, fixtures::wavTone(20.0, 440.0, 0.5)));
        module = t.path("music/endlos.mod");
        ASSERT_TRUE(fixtures::writeFixture(module, fixtures::protrackerModule(2, 16, 3, true)));
    }
    void TearDown() override {
        if (k) k->playback.Stoppen();
        if (fd >= 0) ::close(fd);
        useFastSink();
    }

    // Runs the pass's tick for `playerMs` of player time in real time / Speed.
    void run(int playerMs) {
        QElapsedTimer wall;
        wall.start();
        const uint32_t start = t.clock.tick;
        while (qint64(t.clock.tick - start) < playerMs) {
            sleepMs(5);
            const qint64 due = std::min<qint64>(wall.elapsed() * Speed, playerMs);
            t.clock.advance(int(due - qint64(t.clock.tick - start)));
            k->tick.MusCheckPlay();
        }
    }
    // Plays `path` from the alarm (rise) or by hand (an activity), records
    // for `playerMs` and returns the RMS of each 5 s of player time from
    // the first sound on.
    QVector<double> record(const QString& path, bool alarm, int playerMs, int snooze) {
        k->library.songList = SongList{};
        k->library.songList.append(SongEntry{path, 0, 1000});
        k->playback.lastSongPath.clear();
        k->settings.Snooze = snooze;
        EXPECT_EQ(::ftruncate(fd, 0), 0);
        if (alarm) {
            k->settings.GWecken = 1;
            k->settings.GWeckenH = localHour(t.clock.local);
            k->settings.GWeckenM = localMinute(t.clock.local);
            k->alarm.alarmFiredAt = 0;
            k->alarm.WeckenPruefen();
            k->settings.GWecken = 0;
        } else {
            k->shell.markActivity();
            EXPECT_TRUE(k->playback.Spielen(QString()));
        }
        EXPECT_EQ(k->playback.currentSong, path);
        // The player's clock stands until the sound flows: a renderer that
        // takes a few hundred ms to start would otherwise be taken for a
        // module at its end, so many fast ticks would see its row stand.
        if (path.endsWith(".mod"))
            waitUntil([&] { return modules.currentRow() != 0 || modules.currentPattern() != 0; }, 3000);
        run(playerMs);
        stoppedBySleep = k->playback.currentSong.isEmpty() && t.view.song == "Snooze... ZZzzz...";
        // A song still playing is stopped so that the capture is complete.
        if (!k->playback.currentSong.isEmpty()) k->playback.Stoppen();
        const QByteArray raw = readAll(capture);
        const auto* s = reinterpret_cast<const qint16*>(raw.constData());
        const qsizetype n = raw.size() / 2;
        const qsizetype first = 0;  // the capture begins with the song
        int peak = 0;
        for (qsizetype i = 0; i < n; ++i) peak = std::max(peak, std::abs(int(s[i])));
        std::printf("captured %.2f s, peak %d\n", double(n) / Rate, peak);
        QVector<double> rms;
        for (qsizetype w = first; w + WindowSamples <= n; w += WindowSamples) {
            double sum = 0;
            for (qsizetype i = w; i < w + WindowSamples; ++i) sum += double(s[i]) * s[i];
            rms << std::sqrt(sum / WindowSamples);
        }
        return rms;
    }
    static void print(const char* what, const QVector<double>& rms, double full) {
        std::printf("%s (RMS per 5 s of player time, 1.00 = full level %.0f)\n", what, full);
        for (int i = 0; i < rms.size(); ++i)
            std::printf("  %3d-%3d s  %.3f\n", 5 * i, 5 * i + 5, full > 0 ? rms[i] / full : 0.0);
    }

    // The fade over the last 30 s of a one-minute sleep timer, the stop at
    // its minute, then the alarm's rise over 60 s, for one song.
    void fadeAndRise(const QString& path, const char* name) {
        const QVector<double> fade = record(path, false, 62000, 1);
        EXPECT_TRUE(stoppedBySleep) << "stopped by the sleep timer";
        ASSERT_GE(fade.size(), 12);
        double full = 0;
        for (int i = 1; i < 5; ++i) full += fade[i] / 4;
        print((QStringLiteral("sleep fade, ") + name).toUtf8().constData(), fade, full);
        ASSERT_GT(full, 500.0);
        for (int i = 1; i < 5; ++i) EXPECT_NEAR(fade[i] / full, 1.0, 0.15) << "full before the fade, window " << i;
        // Window i covers 5i..5i+5 s; the level there is ((60 - t) / 30)^2.
        const auto expected = [](double t) { return t < 30 ? 1.0 : std::pow(std::max(0.0, 60 - t) / 30, 2); };
        for (int i = 6; i < 12; ++i) {
            EXPECT_NEAR(fade[i] / full, expected(5 * i + 2.5), 0.12) << "window " << i;
            EXPECT_LT(fade[i], fade[i - 1] * 1.05) << "falling, window " << i;
        }
        EXPECT_LT(fade[11] / full, 0.03) << "silent at the stop";
        EXPECT_LE(fade.size(), 13) << "the stop comes at the minute";

        const QVector<double> rise = record(path, true, 75000, 0);
        ASSERT_GE(rise.size(), 14);
        const double top = (rise[13] + rise[12]) / 2;
        print((QStringLiteral("alarm rise, ") + name).toUtf8().constData(), rise, top);
        EXPECT_NEAR(top / full, 1.0, 0.15) << "rises to the list's volume";
        for (int i = 1; i < 12; ++i) {
            EXPECT_NEAR(rise[i] / top, std::pow((5 * i + 2.5) / 60, 2), 0.12) << "window " << i;
            EXPECT_GT(rise[i], rise[i - 1] * 0.95) << "rising, window " << i;
        }
        EXPECT_LT(rise[0] / top, 0.05) << "the alarm does not start loud";
        k->playback.Stoppen();
    }

    TestKalvo t;
    GstMediaEngine media;
    RendererModuleEngine modules;
    std::unique_ptr<Kalvo> k;
    QString song, module;
    QString capture;
    int fd = -1;
    bool stoppedBySleep = false;
};

TEST_F(LevelRampSound, AMediaSongFadesBeforeTheSleepTimerStopsAndRisesAfterTheAlarm) {
    fadeAndRise(song, "media song");
}

TEST_F(LevelRampSound, AModuleFadesBeforeTheSleepTimerStopsAndRisesAfterTheAlarm) {
    fadeAndRise(module, "module");
}

}  // namespace
