// Even loudness heard through a real PulseAudio server: songs of very
// different levels (WAVs, an MP3, a module, a MIDI file) played in a row by
// the real player, recorded from the null sink's monitor and measured with
// libebur128; with "Lautstärke angleichen" off, each at its own level.
// Songs follow each other without silence, so they are told apart by what
// they sound like: the three tones by their frequency, the module and the
// MIDI file (which sit between them in the list) as "no pure tone".
#include <gtest/gtest.h>

#include <ebur128.h>

#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <optional>

#include "e2e/RemotePlayer.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"

using namespace xsession;
using namespace remote;

namespace {

constexpr int Rate = 44100;
constexpr int Window = Rate / 20;  // 50 ms of stereo frames

// The list in path order: a pure tone, then a song of many tones, and so on,
// so that two songs that are no pure tone never meet.
struct Song {
    const char* name;
    double toneHz;  // 0: no pure tone (the module and the MIDI file)
};
const Song Songs[] = {{"a-laut.wav", 440}, {"b-modul.mod", 0}, {"c-leise.wav", 880},
                      {"d-midi.mid", 0},   {"e-mittel.mp3", 660}};
constexpr int SongCount = 5;

// Power of a Hann-windowed stretch at one frequency as a share of its whole
// power: near 1 for a pure tone of that frequency, small otherwise.
double toneShare(const std::vector<double>& x, double hz) {
    const double w = 2 * M_PI * hz / Rate;
    double s1 = 0, s2 = 0, total = 0, windowSum = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(x.size() - 1));
        const double s0 = x[i] * hann + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += x[i] * x[i];
        windowSum += hann;
    }
    const double magnitude = std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2));
    const double amplitude = 2 * magnitude / windowSum;
    return total > 0 ? (amplitude * amplitude / 2) / (total / double(x.size())) : 0;
}

// What each 50 ms window of a stereo recording holds: -1 silence, 0 no pure
// tone, else the frequency of the song's tone.
QVector<double> windowsOf(const QByteArray& pcm) {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const qint64 frames = pcm.size() / 4;
    QVector<double> out;
    for (qint64 from = 0; from + Window <= frames; from += Window) {
        std::vector<double> x(Window);
        double square = 0;
        for (int i = 0; i < Window; ++i) {
            x[i] = (s[2 * (from + i)] + s[2 * (from + i) + 1]) / 65536.0;
            square += x[i] * x[i];
        }
        double kind = -1;
        if (square / Window > 1e-7) {  // above -70 dBFS
            kind = 0;
            for (const Song& song : Songs)
                if (song.toneHz > 0 && toneShare(x, song.toneHz) > 0.7) kind = song.toneHz;
        }
        out << kind;
    }
    return out;
}

struct Segment {
    double kind = 0;
    qint64 from = 0, frames = 0;  // stereo frames
};

// The songs heard, in order: runs of one kind of window; silence and runs
// shorter than 150 ms (the windows where two songs meet) are left out.
QVector<Segment> songsIn(const QByteArray& pcm) {
    const QVector<double> kinds = windowsOf(pcm);
    QVector<Segment> runs;
    for (int i = 0; i < kinds.size(); ++i) {
        if (!runs.isEmpty() && runs.last().kind == kinds[i] && runs.last().from + runs.last().frames == qint64(i) * Window)
            runs.last().frames += Window;
        else
            runs.append({kinds[i], qint64(i) * Window, Window});
    }
    QVector<Segment> songs;
    for (const Segment& r : runs) {
        if (r.kind < 0 || r.frames < 3 * Window) continue;
        if (!songs.isEmpty() && songs.last().kind == r.kind)
            songs.last().frames = r.from + r.frames - songs.last().from;
        else
            songs.append(r);
    }
    return songs;
}

// Integrated loudness (LUFS) of 16-bit stereo frames.
double lufsOf(const qint16* frames, qint64 count) {
    ebur128_state* st = ebur128_init(2, Rate, EBUR128_MODE_I);
    ebur128_add_frames_short(st, frames, size_t(count));
    double lufs = -HUGE_VAL;
    ebur128_loudness_global(st, &lufs);
    ebur128_destroy(&st);
    return lufs;
}

// A file's own loudness as the renderer measures it for levelling: what
// the song is heard at unlevelled.
std::optional<double> ownLufs(const QString& path) {
    QProcess p;
    QStringList args{"--measure", path};
    if (path.endsWith(".mod")) args << "--module";  // rendered as the module engine renders it
    p.start(QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2-modrender"), args);
    p.waitForFinished(120000);
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    if (p.exitCode() != 0 || f.size() != 3) return std::nullopt;
    return f[1].toDouble();
}

struct Heard {
    QVector<double> kinds;  // of each song heard, in order
    QVector<double> lufs;
    double peakDb = -200;
};

// Each song's loudness without the 100 ms at either end, where it meets its
// neighbours; the peak over the whole recording.
Heard measure(const QByteArray& pcm) {
    Heard h;
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    int peak = 0;
    for (qint64 i = 0; i < pcm.size() / 2; ++i) peak = std::max(peak, std::abs(int(s[i])));
    h.peakDb = peak ? 20 * std::log10(peak / 32768.0) : -200;
    for (const Segment& g : songsIn(pcm)) {
        const qint64 edge = Rate / 10;
        h.kinds << g.kind;
        h.lufs << lufsOf(s + 2 * (g.from + edge), std::max<qint64>(0, g.frames - 2 * edge));
    }
    return h;
}

QString describe(const Heard& h) {
    QString s;
    for (int i = 0; i < h.lufs.size(); ++i)
        s += QStringLiteral("%1: %2 LUFS; ").arg(h.kinds[i] > 0 ? QString::number(h.kinds[i]) + " Hz" : "no tone")
                 .arg(h.lufs[i], 0, 'f', 2);
    return s + QStringLiteral("peak %1 dBFS").arg(h.peakDb, 0, 'f', 2);
}

struct LevelPlayer : RemotePlayer {
    fixtures::PulseServer server;
    QString why;
    QString raw = temp.path() + "/heard.raw";

    QString song(int i) const { return music + Songs[i].name; }
    bool prepare() {
        if (!server.start(&why)) return false;
        server.exportAddress();
        platform = "xcb";
        audioSink = QString();  // autoaudiosink finds the server
        writeFile(song(0), fixtures::wavTone(2, 440, 0.5));      // -6 dBFS
        writeFile(song(1), fixtures::protrackerModule(2, 16, 3, false));
        writeFile(song(2), fixtures::wavTone(2, 880, 0.0316));   // -30 dBFS
        // Chords struck hard: -31 LUFS, about as loud as quiet MIDI files
        // are (a single line of piano notes is -40, beyond the +18 dB the
        // output raises a song at most).
        writeFile(song(3), fixtures::midiFile(4, 127, 3));
        if (!fixtures::mp3Tone(song(4), 2, &why, true, {}, 660, 0.125)) return false;  // -18 dBFS
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
    ~LevelPlayer() { qunsetenv("PULSE_SERVER"); }
    int cacheLines() const {
        QFile f(data + "Lautheit.cache");
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }
    // Plays the list once from its first song; what was heard.
    QByteArray playAll() {
        QFile::remove(raw);
        if (!server.record(raw, Rate, 2)) return {};
        click(30, 117);  // "Spielen"
        QThread::msleep(14000);  // five songs of about 2 s and the changes between them
        server.stopRecording();
        QFile f(raw);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST(LoudnessHeard, SongsOfAnyFormatReachTheListenerEquallyLoudAndUnchangedWithTheSwitchOff) {
    if (!available()) GTEST_SKIP() << "no X display";
    qputenv("KALVO2_MEASURE_NICE", "0");  // the machine running the suite is busy
    LevelPlayer p;
    if (!p.prepare()) GTEST_SKIP() << "cannot run here: " << p.why.toStdString();
    ASSERT_TRUE(p.up());
    // Measured in the background soon after start-up: the head line and five songs.
    for (int t = 0; t < 120000 && p.cacheLines() < 1 + SongCount; t += 200) QThread::msleep(200);
    ASSERT_EQ(p.cacheLines(), 1 + SongCount) << p.log().toStdString();

    const Heard on = measure(p.playAll());
    p.quit();
    std::printf("levelled: %s\n", qPrintable(describe(on)));
    ASSERT_EQ(on.lufs.size(), SongCount) << describe(on).toStdString();
    for (int i = 0; i < SongCount; ++i) EXPECT_EQ(on.kinds[i], Songs[i].toneHz) << "in list order: " << describe(on).toStdString();
    const auto [lo, hi] = std::minmax_element(on.lufs.begin(), on.lufs.end());
    EXPECT_LE(*hi - *lo, 1.0) << describe(on).toStdString();
    EXPECT_NEAR(*lo, -18.0, 1.5) << describe(on).toStdString();
    EXPECT_LE(on.peakDb, -1.0) << describe(on).toStdString();

    // Off: every song as loud as it is itself.
    p.writeSettings();
    writeFile(p.data + "Lautstärke.ini", "\xEF\xBB\xBF\r\n[Lautstärke]\r\nAngleichen = 0\r\n");
    ASSERT_TRUE(p.up());
    const Heard off = measure(p.playAll());
    p.quit();
    std::printf("unlevelled: %s\n", qPrintable(describe(off)));
    ASSERT_EQ(off.lufs.size(), SongCount) << describe(off).toStdString();
    for (int i = 0; i < SongCount; ++i) {
        const std::optional<double> own = ownLufs(p.song(i));
        ASSERT_TRUE(own.has_value()) << p.song(i).toStdString();
        EXPECT_NEAR(off.lufs[i], *own, 0.5) << Songs[i].name << ": " << describe(off).toStdString();
    }
}

}  // namespace
