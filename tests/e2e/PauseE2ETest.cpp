// Pause over MPRIS2 on the real player, heard from the null sink of a real
// PulseAudio server: silence while paused, then the same song going on from
// where it was held, for a media song and for a module. Each song is a
// staircase of constant levels, so the capture tells where it goes on.
#include <gtest/gtest.h>

#include <QtEndian>
#include <cmath>
#include <cstdio>

#include "e2e/PrivateBus.h"
#include "e2e/PlayerProcess.h"
#include "e2e/RemotePlayer.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"
#include "playback/WavParser.h"

namespace {

constexpr int Rate = fixtures::PulseServer::RecordRate;

QString playerctl(const QStringList& args) {
    QProcess p;
    p.start("playerctl", QStringList{"--player=kalvo2"} + args);
    if (!p.waitForFinished(30000)) return "<timeout>";
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

bool waitForStatus(const QString& status) {
    for (int i = 0; i < 300; ++i) {
        if (playerctl({"status"}) == status) return true;
        QThread::msleep(100);
    }
    return false;
}

// A WAV of `steps` seconds at Rate: second n (1-based) holds the constant
// sample 1000 * n.
QByteArray mediaSteps(int steps) {
    QByteArray samples(steps * Rate * 2, Qt::Uninitialized);
    for (int i = 0; i < steps * Rate; ++i)
        qToLittleEndian<qint16>(qint16(1000 * (i / Rate + 1)), samples.data() + 2 * i);
    return wavImage16(samples, Rate, 1);
}

// A stretch of the capture at one constant level (mean of its samples).
struct Level {
    double level = 0;
    double start = 0;    // seconds into the capture
    double seconds = 0;
    double end() const { return start + seconds; }
};

// The constant levels heard in 16-bit mono samples at Rate, in order:
// 10 ms windows whose mean stays within 3 % of the run's first window; silence
// (mean below 40) and runs shorter than 60 ms (where one level meets the
// next) are left out.
QVector<Level> levels(const QByteArray& samples) {
    const int window = Rate / 100;
    const qint64 windows = samples.size() / 2 / window;
    QVector<Level> runs;
    for (qint64 w = 0; w < windows; ++w) {
        double sum = 0;
        for (int i = 0; i < window; ++i)
            sum += qFromLittleEndian<qint16>(samples.constData() + 2 * (w * window + i));
        const double mean = sum / window;
        const double at = double(w) / 100;
        if (std::abs(mean) < 40) continue;
        if (!runs.isEmpty() && std::abs(runs.last().end() - at) < 0.005 &&
            std::abs(mean - runs.last().level) < 0.03 * std::abs(runs.last().level)) {
            runs.last().seconds += 0.01;
        } else {
            runs.append({mean, at, 0.01});
        }
    }
    QVector<Level> kept;
    for (const Level& r : runs)
        if (r.seconds >= 0.06) kept.append(r);
    return kept;
}

QString describe(const QVector<Level>& heard) {
    QString s;
    for (const Level& l : heard)
        s += QStringLiteral("%1 at %2 s for %3 s; ").arg(l.level, 0, 'f', 0).arg(l.start, 0, 'f', 2).arg(l.seconds, 0, 'f', 2);
    return s;
}

// The loudest sample between two times, and where it lies (seconds).
std::pair<int, double> peakBetween(const QByteArray& samples, double from, double to) {
    int peak = 0;
    double at = from;
    for (qint64 i = qint64(from * Rate); i < qint64(to * Rate) && 2 * i + 1 < samples.size(); ++i) {
        const int v = std::abs(int(qFromLittleEndian<qint16>(samples.constData() + 2 * i)));
        if (v > peak) {
            peak = v;
            at = double(i) / Rate;
        }
    }
    return {peak, at};
}

struct PausePlayer : Player {
    fixtures::PulseServer server;
    PrivateBus bus;
    QString why;
    QString music = temp.path() + "/Musik/";
    QString recording = temp.path() + "/heard.raw";

    // The song alone in the list, no continuous play; the server runs and
    // its sink is recorded.
    bool prepare(const QString& name, const QByteArray& song) {
        if (bus.address.isEmpty()) {
            why = "no dbus-daemon";
            return false;
        }
        if (!server.start(&why)) return false;
        server.exportAddress();
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toLocal8Bit());
        audioSink = QString();  // autoaudiosink, as a user's player
        remote::writeFile(music + name, song);
        const QString list = data + "Liste.txt";
        remote::writeFile(data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nFortwAbspielen = 0\r\nLetzteListenDatei = " +
                                                   list.toUtf8() + "\r\n");
        remote::writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
        // The steps are told apart by their exact levels: played unlevelled.
        remote::writeFile(data + "Lautstärke.ini", "\xEF\xBB\xBF\r\n[Lautstärke]\r\nAngleichen = 0\r\n");
        return server.record(recording);
    }
    ~PausePlayer() {
        qunsetenv("PULSE_SERVER");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    QByteArray heard() const {
        QFile f(recording);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Plays, pauses after `playMs` with `pause`, goes on after `heldMs` with
    // `resume`, listens `afterMs` more; returns the capture.
    // `failed` names the status that did not come.
    QString failed;
    bool reaches(const QString& status) {
        if (waitForStatus(status)) return true;
        failed = status + " (status " + playerctl({"status"}) + ")";
        return false;
    }
    QByteArray playPausePlay(const QString& pause, const QString& resume, int playMs, int heldMs, int afterMs) {
        start();
        if (!reaches("Stopped")) return {};
        playerctl({"play"});
        if (!reaches("Playing")) return {};
        QThread::msleep(playMs);
        playerctl({pause});
        if (!reaches("Paused")) return {};
        QThread::msleep(heldMs);
        playerctl({resume});
        if (!reaches("Playing")) return {};
        QThread::msleep(afterMs);
        stop(SIGTERM);
        server.stopRecording();
        return heard();
    }
};

// The staircase around the one pause in `samples`: silence while paused,
// then the same song going on where it was held. The steps come in order from
// the first, none again from the start, and every step heard whole (all but
// the last, which the quit cuts) lasts its length in total: nothing lost and
// nothing heard twice, wherever in a step the pause fell.
void expectGoesOnWhereHeld(const QByteArray& samples, double stepSeconds, int heldMs, const char* what) {
    const QVector<Level> heard = levels(samples);
    SCOPED_TRACE(describe(heard).toStdString());
    ASSERT_GE(heard.size(), 4);
    const double unit = heard.first().level;  // the first step
    const auto step = [&](const Level& l) { return int(std::lround(l.level / unit)); };
    int cut = -1;  // the last run before the pause
    for (int i = 0; i + 1 < heard.size(); ++i)
        if (heard[i + 1].start - heard[i].end() > 0.5) {
            EXPECT_EQ(cut, -1) << "one pause only";
            cut = i;
        }
    ASSERT_GE(cut, 1) << "a pause after the first step";
    ASSERT_LT(cut + 2, heard.size()) << "steps after the pause";
    const Level& before = heard[cut];
    const Level& after = heard[cut + 1];
    const double silence = after.start - before.end();
    // A step cut within its last 60 ms leaves a blip no run holds; the
    // margins keep it (and the ramp where the sound stops) out.
    const auto [peak, peakAt] = peakBetween(samples, before.end() + 0.1, after.start - 0.1);
    std::printf("%s: step %d at level %.0f heard %.2f s, then %.2f s of silence (peak %d), then step %d at level "
                "%.0f for %.2f s, then step %d at level %.0f; the first step is level %.0f\n",
                what, step(before), before.level, before.seconds, silence, int(peak), step(after), after.level,
                after.seconds, step(heard[cut + 2]), heard[cut + 2].level, unit);
    EXPECT_NEAR(silence, heldMs / 1000.0, 0.4) << "silence while paused";
    EXPECT_LT(peak, 40) << "nothing heard while paused; the loudest at " << peakAt << " s";

    EXPECT_EQ(step(heard.first()), 1);
    QVector<double> total(step(heard.last()) + 1, 0.0);
    for (int i = 0; i < heard.size(); ++i) {
        const int n = step(heard[i]);
        ASSERT_LT(n, total.size()) << "run " << i << " is no step of the song";
        total[n] += heard[i].seconds;
        if (i == 0) continue;
        const int last = step(heard[i - 1]);
        if (i == cut + 1)
            EXPECT_TRUE(n == last || n == last + 1) << "the held step or, held at its very end, the next";
        else
            EXPECT_EQ(n, last + 1) << "run " << i << ": the steps in order, none again";
    }
    for (int n = 1; n + 1 < total.size(); ++n)
        EXPECT_NEAR(total[n], stepSeconds, 0.12) << "step " << n << ": from where it was held, nothing lost, nothing twice";
}

TEST(PauseOverMpris, AMediaSongIsSilentWhilePausedAndGoesOnWhereItWasHeld) {
    PausePlayer p;
    if (!p.prepare("stufen.wav", mediaSteps(8))) GTEST_SKIP() << "no sound server or bus here: " << p.why.toStdString();
    const QByteArray heard = p.playPausePlay("pause", "play", 2500, 1500, 2500);
    ASSERT_FALSE(heard.isEmpty()) << "no " << p.failed.toStdString() << "; log: " << p.log().toStdString();
    expectGoesOnWhereHeld(heard, 1.0, 1500, "media song");
}

TEST(PauseOverMpris, AModuleIsSilentWhilePausedAndGoesOnWhereItWasHeld) {
    PausePlayer p;
    if (!p.prepare("stufen.mod", fixtures::protrackerSteps(8, 16, 3)))
        GTEST_SKIP() << "no sound server or bus here: " << p.why.toStdString();
    const QByteArray heard = p.playPausePlay("play-pause", "play-pause", 2500, 1500, 2500);
    ASSERT_FALSE(heard.isEmpty()) << "no " << p.failed.toStdString() << "; log: " << p.log().toStdString();
    expectGoesOnWhereHeld(heard, fixtures::protrackerModuleMs(1, 16, 3) / 1000.0, 1500, "module");
}

}  // namespace
