// Even loudness heard through a real PulseAudio server: songs of very
// different levels (WAV, MP3, a module, a MIDI file) played in a row by the
// real player, recorded from the null sink's monitor and measured with the
// EBU R128 meter; and with "Lautstärke angleichen" off, each at its own level.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "e2e/RemotePlayer.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"

using namespace xsession;
using namespace remote;

namespace {

constexpr int Rate = 44100;

struct Segment {
    qint64 from = 0, frames = 0;  // stereo frames
};

// The songs in a stereo recording: runs of sound apart by at least 40 ms of
// silence (the player's change of song leaves more than that today).
QVector<Segment> songsIn(const QByteArray& pcm) {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const qint64 frames = pcm.size() / 4;
    QVector<Segment> out;
    qint64 quiet = 0, start = -1, lastLoud = -1;
    for (qint64 i = 0; i < frames; ++i) {
        const bool loud = std::abs(s[2 * i]) > 8 || std::abs(s[2 * i + 1]) > 8;
        if (loud) {
            if (start < 0) start = i;
            lastLoud = i;
            quiet = 0;
        } else if (start >= 0 && ++quiet > Rate / 25) {
            out.append({start, lastLoud + 1 - start});
            start = -1;
        }
    }
    if (start >= 0) out.append({start, lastLoud + 1 - start});
    // Clicks and ripples shorter than a tenth of a second are no song.
    out.erase(std::remove_if(out.begin(), out.end(), [](const Segment& g) { return g.frames < Rate / 10; }), out.end());
    return out;
}

QByteArray wavOf(const QByteArray& pcm) {
    QByteArray h("RIFF");
    auto u32 = [&h](quint32 v) { for (int i = 0; i < 4; ++i) h += char(v >> (8 * i)); };
    auto u16 = [&h](quint16 v) { h += char(v); h += char(v >> 8); };
    u32(36 + pcm.size());
    h += "WAVEfmt ";
    u32(16); u16(1); u16(2); u32(Rate); u32(Rate * 4); u16(4); u16(16);
    h += "data";
    u32(pcm.size());
    return h + pcm;
}

// Loudness (LUFS) of a file through the renderer's meter.
std::optional<double> lufsOf(const QString& path) {
    QProcess p;
    p.start(QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2-modrender"), {"--measure", path});
    p.waitForFinished(120000);
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    if (p.exitCode() != 0 || f.size() != 3) return std::nullopt;
    return f[1].toDouble();
}

struct LevelPlayer : RemotePlayer {
    fixtures::PulseServer server;
    QProcess recorder;
    QString why;
    QString raw = temp.path() + "/heard.raw";
    QStringList songs;

    bool prepare() {
        if (!server.start(&why)) return false;
        server.exportAddress();
        platform = "xcb";
        audioSink = QString();  // autoaudiosink finds the server
        // -6, -30 and -18 dBFS tones, a module and a MIDI file, in path order.
        songs = {music + "a-laut.wav", music + "b-leise.wav", music + "c-mittel.mp3", music + "d-modul.mod",
                 music + "e-midi.mid"};
        writeFile(songs[0], fixtures::wavTone(2, 440, 0.5));
        writeFile(songs[1], fixtures::wavTone(2, 880, 0.0316));
        if (!fixtures::mp3Tone(songs[2], 2, &why, true, {"--scale", "0.25"})) return false;
        writeFile(songs[3], fixtures::protrackerModule(2, 16, 3, false));
        writeFile(songs[4], fixtures::midiFile(4));
        writeSettings();
        return true;
    }
    // Continuous play without Repeat, the list at full volume, no resume
    // point: "Spielen" plays the list once from its first song.
    void writeSettings() {
        const QString list = data + "Liste.txt";
        writeFile(data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nFortwAbspielen = 1\r\nRepeat = 0\r\nLetzteListenDatei = " +
                                           list.toUtf8() + "\r\n");
        writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
    }
    ~LevelPlayer() {
        stopRecording();
        qunsetenv("PULSE_SERVER");
    }
    bool record() {
        QFile::remove(raw);
        recorder.setStandardOutputFile(raw);
        recorder.setStandardErrorFile(QProcess::nullDevice());
        recorder.start("parec", {"--device=kalvo_null.monitor", "--raw", "--format=s16le", "--rate=44100",
                                 "--channels=2", "--latency-msec=20"});
        if (!recorder.waitForStarted(10000)) return false;
        QThread::msleep(300);
        return recorder.state() == QProcess::Running;
    }
    void stopRecording() {
        if (recorder.state() == QProcess::NotRunning) return;
        recorder.terminate();
        recorder.waitForFinished(5000);
    }
    int cacheLines() const {
        QFile f(data + "Lautheit.cache");
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }
    // Plays the list once from its first song and returns what was heard.
    QByteArray playAll() {
        if (!record()) return {};
        click(30, 117);  // "Spielen"
        QThread::msleep(17000);  // five songs of about 2 s and the changes between them
        stopRecording();
        QFile f(raw);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct Heard {
    QVector<double> lufs;
    double peak = 0;  // highest sample, linear
};

Heard measure(const QByteArray& pcm, const QString& folder) {
    Heard h;
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    for (qint64 i = 0; i < pcm.size() / 2; ++i) h.peak = std::max(h.peak, std::abs(s[i]) / 32768.0);
    int n = 0;
    for (const Segment& g : songsIn(pcm)) {
        const QString file = folder + QStringLiteral("/song%1.wav").arg(++n);
        fixtures::writeFixture(file, wavOf(pcm.mid(g.from * 4, g.frames * 4)));
        h.lufs << lufsOf(file).value_or(-999.0);
    }
    return h;
}

QString describe(const QVector<double>& v) {
    QString s;
    for (double x : v) s += QString::number(x, 'f', 2) + " ";
    return s;
}

TEST(LoudnessHeard, SongsOfAnyFormatReachTheListenerEquallyLoudAndUnchangedWithTheSwitchOff) {
    if (!available()) GTEST_SKIP() << "no X display";
    qputenv("KALVO2_MEASURE_NICE", "0");  // the machine running the suite is busy
    LevelPlayer p;
    if (!p.prepare()) GTEST_SKIP() << "cannot run here: " << p.why.toStdString();
    ASSERT_TRUE(p.up());
    // Measured in the background soon after start-up: head line and five songs.
    for (int t = 0; t < 120000 && p.cacheLines() < 6; t += 200) QThread::msleep(200);
    ASSERT_EQ(p.cacheLines(), 6) << p.log().toStdString();

    const Heard on = measure(p.playAll(), p.temp.path());
    p.quit();
    ASSERT_EQ(on.lufs.size(), 5) << describe(on.lufs).toStdString();
    const auto [lo, hi] = std::minmax_element(on.lufs.begin(), on.lufs.end());
    EXPECT_LE(*hi - *lo, 1.0) << "heard at " << describe(on.lufs).toStdString();
    EXPECT_NEAR(*lo, -18.0, 1.5) << describe(on.lufs).toStdString();
    EXPECT_LE(20 * std::log10(on.peak), -1.0);

    // Off: every song as loud as it is itself.
    p.writeSettings();
    writeFile(p.data + "Lautstärke.ini", "\xEF\xBB\xBF\r\n[Lautstärke]\r\nAngleichen = 0\r\n");
    ASSERT_TRUE(p.up());
    const Heard off = measure(p.playAll(), p.temp.path());
    p.quit();
    ASSERT_EQ(off.lufs.size(), 5) << describe(off.lufs).toStdString();
    for (int i = 0; i < 5; ++i) {
        const std::optional<double> own = lufsOf(p.songs[i]);
        ASSERT_TRUE(own.has_value());
        EXPECT_NEAR(off.lufs[i], *own, 0.5) << p.songs[i].toStdString() << " heard at " << describe(off.lufs).toStdString();
    }
}

}  // namespace
