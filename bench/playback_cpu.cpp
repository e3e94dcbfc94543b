// Playing CPU: CPU seconds per second of audio of the real player process
// and everything it starts (the module renderer), playing a WAV, an MP3 and
// a module through a PulseAudio server of its own with a null sink, as a
// user's player plays. The baseline, measured in the same run on the same
// server, is gst-launch-1.0 playing the same WAV to the same sink: the
// least any GStreamer player pays for that song.
//   build/default/bench/bench_playback_cpu [seconds]   (default 10)
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

#include "BenchSupport.h"
#include "fixtures/Fixtures.h"
#include "fixtures/PulseServer.h"

namespace {

constexpr int WarmUpMs = 3000;  // start-up, the first buffers, levelling's look at the song

// The sink inputs the server has now: what really reaches the sink.
int streamsOnTheSink(const fixtures::PulseServer& server) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", server.address());
    p.setProcessEnvironment(env);
    p.start("pactl", {"list", "short", "sink-inputs"});
    p.waitForFinished(10000);
    return int(p.readAllStandardOutput().count('\n'));
}

// CPU seconds per second of process tree `pid` over `seconds`, after the warm-up.
double cpuPerSecond(pid_t pid, double seconds) {
    QThread::msleep(WarmUpMs);
    const double c0 = bench::treeCpu(pid);
    QThread::msleep(ulong(seconds * 1000));
    return (bench::treeCpu(pid) - c0) / seconds;
}

// The player playing `song` (copied into its music folder) over and over;
// with play false, the same player standing idle.
double playerCpu(const QString& song, const fixtures::PulseServer& server, double seconds, bool play = true) {
    bench::PlayerRun run;
    run.prepare(true, true);
    QDir().mkpath(run.music);
    QFile::copy(song, run.music + QFileInfo(song).fileName());
    if (!run.startPlaying(play)) {
        std::fprintf(stderr, "the player did not start playing %s\n", qPrintable(song));
        return -1;
    }
    // Levelling measures the song once, in a process of its own: that is
    // over before the playing is measured.
    for (int i = 0; i < 600 && run.cacheLines() < 2; ++i) QThread::msleep(100);
    const double cpu = cpuPerSecond(pid_t(run.process.processId()), seconds);
    if (play && streamsOnTheSink(server) < 1) std::fprintf(stderr, "nothing reached the sink for %s\n", qPrintable(song));
    return cpu;
}

double gstLaunchCpu(const QString& wav, double seconds) {
    QProcess p;
    p.start(QStandardPaths::findExecutable("gst-launch-1.0"),
            {"-q", "filesrc", "location=" + wav, "!", "decodebin", "!", "audioconvert", "!", "audioresample", "!",
             "pulsesink"});
    if (!p.waitForStarted(10000)) return -1;
    const double cpu = cpuPerSecond(pid_t(p.processId()), seconds);
    p.kill();
    p.waitForFinished(5000);
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    fixtures::PulseServer server;
    QString why;
    if (!server.start(&why)) {
        std::fprintf(stderr, "PulseAudio cannot start here: %s\n", qPrintable(why));
        return 1;
    }
    server.exportAddress();
    QTemporaryDir tmp;
    const double songSeconds = seconds + WarmUpMs / 1000.0 + 20;  // never ends while measured
    const QString wav = tmp.filePath("lied.wav"), mp3 = tmp.filePath("lied.mp3"), mod = tmp.filePath("lied.mod");
    fixtures::writeFixture(wav, fixtures::wavTone(songSeconds, 440, 0.5, 44100, 2));
    const bool haveMp3 = fixtures::mp3Tone(mp3, songSeconds);
    fixtures::writeFixture(mod, fixtures::protrackerModule(30, 64, 6, false));  // 230 s

    const double base = gstLaunchCpu(wav, seconds);
    std::printf("baseline: gst-launch-1.0 playing the WAV: %.2f ms CPU per second of audio\n", base * 1e3);
    const auto line = [&](const char* what, double cpu) {
        std::printf("player playing the %-6s %6.2f ms CPU per second of audio: %.2fx the baseline\n", what, cpu * 1e3,
                    base > 0 ? cpu / base : 0.0);
    };
    line("WAV:", playerCpu(wav, server, seconds));
    if (haveMp3) line("MP3:", playerCpu(mp3, server, seconds));
    line("module:", playerCpu(mod, server, seconds));
    // What of it the player spends anyway: its timers and windows, nothing playing.
    const double idle = playerCpu(wav, server, seconds, false);
    std::printf("player standing idle (nothing plays): %.2f ms CPU per second: %.2fx the baseline\n", idle * 1e3,
                base > 0 ? idle / base : 0.0);
    return 0;
}
