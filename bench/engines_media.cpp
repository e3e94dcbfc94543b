// Media engine CPU while playing an MP3 (WAV when lame is missing) in real
// time into fakesink, against gst-launch-1.0 playbin on the same file for the
// same time (the baseline, a child process).
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"

namespace {

double cpu(int who) {
    rusage r{};
    getrusage(who, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main() {
    qputenv("KALVO2_AUDIO_SINK", "fakesink sync=true");
    QTemporaryDir dir;
    QString file = dir.filePath("song.mp3");
    QString why;
    if (!fixtures::mp3Tone(file, 180.0, &why)) {
        std::printf("no MP3 (%s); using WAV\n", qPrintable(why));
        file = dir.filePath("song.wav");
        fixtures::writeFixture(file, fixtures::wavTone(180.0, 440, 0.5, 44100, 2));
    }
    const double seconds = 8.0;

    const double s0 = cpu(RUSAGE_SELF);
    {
        GstMediaEngine e;
        e.initialise();
        const MediaHandle h = e.load(file);
        if (!h) {
            std::fprintf(stderr, "cannot load %s\n", qPrintable(file));
            return 1;
        }
        e.play();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        e.release();
    }
    const double ours = cpu(RUSAGE_SELF) - s0;

    const double c0 = cpu(RUSAGE_CHILDREN);
    const QByteArray uri = "uri=file://" + file.toUtf8();
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("gst-launch-1.0", "gst-launch-1.0", "-q", "playbin", uri.constData(),
               "audio-sink=fakesink sync=true", "video-sink=fakesink", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const double base = cpu(RUSAGE_CHILDREN) - c0;

    std::printf("file: %s, %.0f s played\n", qPrintable(file), seconds);
    std::printf("media engine CPU:          %.1f ms (%.2f ms per audio second, load included)\n", ours * 1e3,
                ours * 1e3 / seconds);
    std::printf("baseline gst-launch CPU:   %.1f ms (%.2f ms per audio second, start-up included)\n", base * 1e3,
                base * 1e3 / seconds);
    std::printf("ratio: %.2fx (target <= 1.2x)\n", base > 0 ? ours / base : 0.0);
    return 0;
}
