// The real player on a real PulseAudio server of the test's own, heard from
// the server's null sink: continuous play over short songs plays each to its
// end, modules and media songs follow each other without a hole, and a
// server killed under a song is told as the output's fault and plays the
// next song once it is back.
#include <gtest/gtest.h>

#include <cstdio>

#include "e2e/RemotePlayer.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"

using namespace xsession;
using namespace remote;

namespace {

using fixtures::HeardSong;

struct ServerPlayer : RemotePlayer {
    fixtures::PulseServer server;
    QString why;  // why the server did not start

    // Songs 1..songs of `seconds` each in the list, continuous play on;
    // the server runs and its sink is recorded to `recording`.
    bool prepare(int songs, int seconds, bool repeat, const QString& sink) {
        if (!server.start(&why)) return false;
        server.exportAddress();  // the player is started with this environment
        platform = "xcb";
        audioSink = sink;
        for (int n = 1; n <= songs; ++n)
            writeFile(music + QStringLiteral("lied%1.wav").arg(n), constantSong(n, seconds));
        const QString list = data + "Liste.txt";
        writeFile(data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nFortwAbspielen = 1\r\nRepeat = " +
                                           QByteArray(repeat ? "1" : "0") + "\r\nLetzteListenDatei = " +
                                           list.toUtf8() + "\r\n");
        writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
        // Each song tells itself by its exact sample value: played unlevelled.
        writeFile(data + "Lautstärke.ini", "\xEF\xBB\xBF\r\n[Lautstärke]\r\nAngleichen = 0\r\n");
        return true;
    }
    ~ServerPlayer() { qunsetenv("PULSE_SERVER"); }

    QString recording(int n) const { return temp.path() + QStringLiteral("/heard%1.raw").arg(n); }
    QVector<HeardSong> heardIn(int n) const {
        QFile f(recording(n));
        return fixtures::heardSongs(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(),
                                    fixtures::PulseServer::RecordRate);
    }
    void play() { click(30, 117); }  // "Spielen"

    template <typename F>
    static bool waitFor(F done, int maxMs) {
        for (int t = 0; t < maxMs && !done(); t += 100) QThread::msleep(100);
        return done();
    }
};

QString describe(const QVector<HeardSong>& heard) {
    QString s;
    for (const HeardSong& h : heard) s += QStringLiteral("song %1 for %2 s; ").arg(h.song).arg(h.seconds, 0, 'f', 2);
    return s;
}

// Songs are 1 s long unless KALVO_PULSE_SONG_SECONDS says otherwise; the test
// listens for the whole list and a second more unless KALVO_PULSE_LISTEN_SECONDS
// says otherwise, and prints how often the song changed.
TEST(SoundServerPlay, ContinuousPlayPlaysEverySongToItsEnd) {
    if (!available()) GTEST_SKIP() << "no X display";
    const int songs = 6;
    const int seconds = qEnvironmentVariableIsSet("KALVO_PULSE_SONG_SECONDS")
                            ? qEnvironmentVariableIntValue("KALVO_PULSE_SONG_SECONDS") : 1;
    const int listen = qEnvironmentVariableIsSet("KALVO_PULSE_LISTEN_SECONDS")
                           ? qEnvironmentVariableIntValue("KALVO_PULSE_LISTEN_SECONDS") : songs * seconds + 1;
    ServerPlayer p;
    // The sink a user's player takes: autoaudiosink finds the server.
    if (!p.prepare(songs, seconds, true, QString())) GTEST_SKIP() << "PulseAudio cannot start here: " << p.why.toStdString();
    ASSERT_TRUE(p.server.record(p.recording(1)));
    ASSERT_TRUE(p.up());
    p.play();
    QThread::msleep(listen * 1000);
    p.quit();
    p.server.stopRecording();

    const QVector<HeardSong> heard = p.heardIn(1);
    std::printf("song changes in %d s with %d-second songs: %d\n", listen, seconds, int(heard.size()) - 1);
    ASSERT_GE(heard.size(), 2) << describe(heard).toStdString();
    for (int i = 0; i < heard.size(); ++i) {
        SCOPED_TRACE(describe(heard).toStdString());
        EXPECT_EQ(heard[i].song, i % songs + 1) << "in list order, round again with Repeat";
        if (i + 1 < heard.size()) EXPECT_NEAR(heard[i].seconds, seconds, 0.15) << "heard " << i << " to its end";
    }
    EXPECT_LE(heard.size(), listen / seconds + 1);
    EXPECT_FALSE(p.log().contains("MediaEngine")) << p.log().toStdString();
}

// A media song, two modules and a media song, played by continuous play:
// the only silence between the first sound and the last is the modules' own
// last milliseconds, and the songs after the first last exactly as long as
// they are.
TEST(SoundServerPlay, ModulesAndMediaSongsFollowEachOtherWithoutAHole) {
    if (!available()) GTEST_SKIP() << "no X display";
    ServerPlayer p;
    if (!p.prepare(0, 1, false, "pulsesink")) GTEST_SKIP() << "PulseAudio cannot start here: " << p.why.toStdString();
    writeFile(p.music + "lied1.wav", constantSong(1, 1));
    writeFile(p.music + "lied2.mod", fixtures::protrackerSteps(1, 16, 3));
    writeFile(p.music + "lied3.mod", fixtures::protrackerSteps(1, 16, 3));
    writeFile(p.music + "lied4.wav", constantSong(4, 1));
    ASSERT_TRUE(p.server.record(p.recording(1)));
    ASSERT_TRUE(p.up());
    p.play();
    QThread::msleep(6000);
    p.quit();
    p.server.stopRecording();

    QFile f(p.recording(1));
    const fixtures::HeardSound sound =
        fixtures::heardSound(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), fixtures::PulseServer::RecordRate);
    for (const auto& q : sound.silences) {
        std::printf("silence at %.3f s: %.1f ms\n", q.atSeconds, q.ms);
        EXPECT_LT(q.ms, fixtures::OneStepModuleTailMs + 5.0) << "a hole at " << q.atSeconds << " s";
    }
    const double heard = sound.afterFirstSong;
    std::printf("the songs after the first heard for %.4f s\n", heard);
    EXPECT_NEAR(heard, 2 * fixtures::OneStepModuleSeconds + 1.0, 0.005) << "every song heard whole, once";
    EXPECT_FALSE(p.log().contains("Engine")) << p.log().toStdString();
}

TEST(SoundServerPlay, AServerKilledUnderASongIsTheOutputsFaultAndTheNextSongPlaysWhenItIsBack) {
    if (!available()) GTEST_SKIP() << "no X display";
    ServerPlayer p;
    if (!p.prepare(4, 3, false, "pulsesink")) GTEST_SKIP() << "PulseAudio cannot start here: " << p.why.toStdString();
    ASSERT_TRUE(p.server.record(p.recording(1)));
    ASSERT_TRUE(p.up());
    p.play();
    ASSERT_TRUE(ServerPlayer::waitFor(
        [&] {
            const QVector<HeardSong> h = p.heardIn(1);
            return !h.isEmpty() && h[0].song == 1 && h[0].seconds > 1.0;
        },
        10000))
        << describe(p.heardIn(1)).toStdString();

    p.server.kill();  // the recorder ends with it
    const QString died = "MediaEngine: sound output failed while playing " + p.music + "lied1.wav: ";
    const QString cannot = "MediaEngine: the sound output cannot play " + p.music + "lied2.wav: ";
    EXPECT_TRUE(ServerPlayer::waitFor([&] { return p.log().contains(died); }, 5000)) << p.log().toStdString();
    // Continuous play goes on to the next song, whose output fails as well.
    EXPECT_TRUE(ServerPlayer::waitFor([&] { return p.log().contains(cannot); }, 5000)) << p.log().toStdString();
    EXPECT_FALSE(p.log().contains("nicht laden")) << "a healthy file is not blamed: " << p.log().toStdString();
    EXPECT_EQ(p.heardIn(1).size(), 1) << describe(p.heardIn(1)).toStdString();

    ASSERT_TRUE(p.server.start());
    ASSERT_TRUE(p.server.record(p.recording(2)));
    p.play();
    EXPECT_TRUE(ServerPlayer::waitFor([&] { return p.heardIn(2).size() >= 2; }, 10000))
        << describe(p.heardIn(2)).toStdString();
    const QVector<HeardSong> after = p.heardIn(2);
    ASSERT_GE(after.size(), 2) << describe(after).toStdString();
    EXPECT_EQ(after[0].song, 2) << "the next song plays once the server is back";
    EXPECT_NEAR(after[0].seconds, 3.0, 0.15) << "to its end";
    EXPECT_EQ(after[1].song, 3) << "and continuous play goes on";
    p.quit();
}

}  // namespace
