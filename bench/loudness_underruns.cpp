// Does levelling's background measurement disturb what plays? The real
// player plays a long WAV through a PulseAudio server of its own (null
// sink, debug log, which names every underrun of a stream) while busy
// loops load every core. Once with levelling off (the baseline: nothing is
// measured), once with it on and a batch of songs to measure (WAVs, MP3s,
// modules, MIDI files) beside the one that plays. The figure is the count
// of underruns the server logged while the song played: it must be the
// same, and should be 0.
//   build/default/bench/bench_loudness_underruns [seconds] [busy loops] [rounds]
//   (defaults: 30 s, one busy loop a core at the player's own priority, 2 rounds)
#include <QFile>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"

namespace {

constexpr int WarmUpMs = 2000;  // the stream is set up and filled

qint64 fileSize(const QString& path) { return QFileInfo(path).size(); }

int underrunsSince(const QString& log, qint64 from) {
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    f.seek(from);
    int count = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.contains("Actual underrun of") || line.contains("Implicit underrun of")) {
            std::printf("  %s\n", line.constData());
            ++count;
        }
    return count;
}

// The song that plays first (path order), then the batch levelling measures.
void writeSongs(const QString& music, double seconds) {
    QDir().mkpath(music);
    fixtures::writeFixture(music + "a-lied.wav", fixtures::wavTone(seconds, 440, 0.5, 44100, 2));
    for (int i = 0; i < 4; ++i) {
        fixtures::writeFixture(music + QString("b-%1.wav").arg(i), fixtures::wavTone(60, 330 + 10 * i, 0.3, 44100, 2));
        fixtures::mp3Tone(music + QString("c-%1.mp3").arg(i), 60, nullptr, true, {}, 550 + 10 * i, 0.3);
        fixtures::writeFixture(music + QString("e-%1.mid").arg(i), fixtures::midiFile(120 + i));
    }
    for (int i = 0; i < 2; ++i)
        fixtures::writeFixture(music + QString("d-%1.mod").arg(i), fixtures::protrackerModule(30, 64, 6 + i, false));
}

void copySongs(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files)) QFile::copy(from + name, to + name);
}

struct Result {
    int underruns = -1;
    int measured = 0;  // songs in the loudness cache at the end
};

Result playAndCount(fixtures::PulseServer& server, const QString& songs, bool levelling, double seconds) {
    bench::PlayerRun run;
    run.prepare(false, levelling);
    copySongs(songs, run.music);
    Result r;
    if (!run.startPlaying()) {
        std::fprintf(stderr, "the player did not start playing\n");
        return r;
    }
    QThread::msleep(WarmUpMs);
    const qint64 from = fileSize(server.logPath());
    QThread::msleep(ulong(seconds * 1000));
    r.underruns = underrunsSince(server.logPath(), from);
    run.quit();  // saves the cache
    r.measured = std::max(0, run.cacheLines() - 1);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 30.0;
    const int loops = argc > 2 ? std::max(0, std::atoi(argv[2])) : int(std::thread::hardware_concurrency());
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
    fixtures::PulseServer server;
    server.logVerbosely();
    QString why;
    if (!server.start(&why)) {
        std::fprintf(stderr, "PulseAudio cannot start here: %s\n", qPrintable(why));
        return 1;
    }
    server.exportAddress();
    qunsetenv("KALVO2_MEASURE_NICE");  // measured at nice 19, as for a user
    QTemporaryDir songs;
    writeSongs(songs.path() + "/", seconds + 30);

    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (int i = 0; i < loops; ++i)
        busy.emplace_back([&stop] {
            while (!stop.load(std::memory_order_relaxed)) {
            }
        });
    // Off and on in turn, so that what else the machine does falls on both.
    int offTotal = 0, onTotal = 0, measured = 0;
    bool failed = false;
    for (int round = 0; round < rounds; ++round) {
        const Result off = playAndCount(server, songs.path() + "/", false, seconds);
        const Result on = playAndCount(server, songs.path() + "/", true, seconds);
        std::printf("round %d: underruns without measuring %d, while measuring %d (%d songs measured)\n", round + 1,
                    off.underruns, on.underruns, on.measured);
        failed = failed || off.underruns < 0 || on.underruns < 0;
        offTotal += off.underruns;
        onTotal += on.underruns;
        measured += on.measured;
    }
    stop = true;
    for (std::thread& t : busy) t.join();

    std::printf("%d busy loops, %d rounds of %.0f s of a song heard\n", loops, rounds, seconds);
    std::printf("underruns without measuring (baseline): %d\n", offTotal);
    std::printf("underruns while levelling measured:     %d (%d songs measured)\n", onTotal, measured);
    return failed ? 1 : 0;
}
