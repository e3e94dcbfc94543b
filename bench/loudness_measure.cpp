// Background loudness measurement: seconds of audio measured per second of
// one core, for a WAV, an MP3, a module and a MIDI file, each through the
// measuring process the player starts. Process start-up (GStreamer's
// registry, the pipeline) is measured on a one-second file and reported
// apart. The baseline is the plain decode of the same WAV into fakesink by
// gst-launch in the same run, so the ratio tells what the meter adds.
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

#include "BenchSupport.h"
#include "fixtures/Fixtures.h"

namespace {

// CPU seconds of one run of the program.
double cpuOf(const QString& program, const QStringList& args) {
    const double before = bench::childCpu();
    QProcess p;
    p.start(program, args);
    p.waitForFinished(-1);
    if (p.exitCode() != 0)
        std::fprintf(stderr, "failed: %s %s\n", qPrintable(program), qPrintable(args.join(' ')));
    return bench::childCpu() - before;
}

double measureCpu(const QString& file, bool module) {
    QStringList args{"--measure", file};
    if (module) args << "--module";
    return cpuOf(bench::rendererPath(), args);
}

}  // namespace

int main() {
    QTemporaryDir tmp;
    const double seconds = 60;
    const QString wav = tmp.filePath("tone.wav"), shortWav = tmp.filePath("short.wav");
    fixtures::writeFixture(wav, fixtures::wavTone(seconds, 440, 0.5, 44100, 2));
    fixtures::writeFixture(shortWav, fixtures::wavTone(1, 440, 0.5, 44100, 2));
    const QString mp3 = tmp.filePath("tone.mp3");
    const bool haveMp3 = fixtures::mp3Tone(mp3, seconds);
    // 30 patterns of 64 rows at speed 6: 30 * 64 * 0.12 s = 230 s of module.
    const QString mod = tmp.filePath("song.mod");
    fixtures::writeFixture(mod, fixtures::protrackerModule(30, 64, 6, false));
    const double modSeconds = fixtures::protrackerModuleMs(30, 64, 6) / 1000.0;
    const QString mid = tmp.filePath("scale.mid");
    fixtures::writeFixture(mid, fixtures::midiFile(120));  // 60 s
    const double midSeconds = 60;

    const double startup = measureCpu(shortWav, false);
    std::printf("measuring process start-up and a 1 s WAV: %.3f s CPU\n", startup);
    auto line = [&](const char* what, double audio, double cpu) {
        std::printf("%-6s %6.1f s of audio in %.3f s CPU (%.3f without start-up): %.0f s of audio per CPU second\n",
                    what, audio, cpu, cpu - startup, audio / std::max(1e-3, cpu - startup));
    };
    const double wavCpu = measureCpu(wav, false);
    line("WAV", seconds, wavCpu);
    if (haveMp3) line("MP3", seconds, measureCpu(mp3, false));
    line("module", modSeconds, measureCpu(mod, true));
    line("MIDI", midSeconds, measureCpu(mid, false));

    const QString launch = QStandardPaths::findExecutable("gst-launch-1.0");
    if (!launch.isEmpty()) {
        const double base = cpuOf(launch, {"-q", "filesrc", "location=" + wav, "!", "decodebin", "!", "audioconvert",
                                           "!", "fakesink", "sync=false"});
        std::printf("baseline: gst-launch decoding the same WAV: %.3f s CPU; measuring costs %.2fx of it\n", base,
                    wavCpu / std::max(1e-3, base));
    }
    return 0;
}
