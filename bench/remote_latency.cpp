// Remote-control latency: from a key event entering the pass to the next
// song's first audio buffer leaving the media engine, over 100 presses of the
// "next song" key on a list of short WAVs. Baseline in the same run: a bare
// GStreamer playbin started on the same files. The engine's sink is an fdsink
// writing into a pipe that a reader thread watches, so the moment the first
// decoded bytes leave the engine is seen from outside. With --tagged the
// songs are MP3s with title, artist, album, track number and a cover in
// their tags, so the cost of reading tags shows against the same baseline.
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <gst/gst.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fakes/Fakes.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kPresses = 100;
constexpr int kSongs = 8;

std::atomic<long> bytesSeen{0};
std::atomic<Steady::rep> lastData{0};

void readPipe(int fd) {
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return;
        lastData = Steady::now().time_since_epoch().count();
        bytesSeen += n;
    }
}

// Waits until the pipe has been quiet for 80 ms (the last song is written out).
void settle() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto quiet = Steady::now().time_since_epoch().count() - lastData.load();
        if (quiet > std::chrono::duration_cast<Steady::duration>(std::chrono::milliseconds(80)).count()) return;
    }
}

// Microseconds from t0 until new bytes arrive after `before` bytes.
double waitFirstBytes(Steady::time_point t0, long before) {
    while (bytesSeen.load() == before) std::this_thread::yield();
    return std::chrono::duration<double, std::micro>(Steady::now() - t0).count();
}

struct Stats {
    double median, p99;
};
Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, size_t(v.size() * 0.99))]};
}

}  // namespace

int main(int argc, char** argv) {
    const bool tagged = argc > 1 && QByteArray(argv[1]) == "--tagged";
    int fds[2];
    if (pipe(fds) != 0) return 1;
    std::thread reader(readPipe, fds[0]);
    const QByteArray sink = "fdsink sync=false fd=" + QByteArray::number(fds[1]);
    qputenv("KALVO2_AUDIO_SINK", sink);

    TestKalvo t;
    QStringList songs;
    const QString cover = t.path("cover.png");
    fixtures::writeFixture(cover, fixtures::tinyPng());
    for (int i = 0; i < kSongs; ++i) {
        if (tagged) {
            songs << t.path(QStringLiteral("music/lied%1.mp3").arg(i));
            QDir().mkpath(t.path("music"));
            QString why;
            if (!fixtures::mp3Tone(songs.last(), 0.5, &why, true,
                                   {"--tt", QStringLiteral("Lied %1").arg(i), "--ta", "Der Chor", "--tl", "Die Nacht",
                                    "--tn", QString::number(i + 1), "--ti", cover})) {
                std::fprintf(stderr, "%s\n", qPrintable(why));
                return 1;
            }
        } else {
            songs << t.path(QStringLiteral("music/lied%1.wav").arg(i));
            fixtures::writeFixture(songs.last(), fixtures::wavTone(0.5, 220.0 * (i + 1), 0.5, 44100, 2));
        }
    }
    GstMediaEngine media;
    Services s{t.view, t.messages, t.clock, t.desktop, t.files, t.random, t.progress, t.fileDialogs, t.windows,
               media, t.modules, t.sounds};
    Kalvo k(s);
    k.shell.dataFolder = t.k->shell.dataFolder;
    k.shell.TrashFolder = t.k->shell.TrashFolder;
    k.shell.logFile = t.k->shell.logFile;
    if (!media.initialise()) return 1;
    for (const QString& song : songs) k.library.songList.append(SongEntry{song, 0, 1000});
    k.settings.FortwAbspielen = 0;
    k.bindings.KeyBindingList = {{1, 34, 0, FnNextSong}};
    t.view.volume = 100;

    PassEvent press;
    press.kind = PassEvent::Kind::KeyDown;
    press.window = MainWindowNo;
    press.code = 34;
    press.rawMessage = WmKeyDown;

    std::vector<double> ours, bare;
    k.shell.pass(press);  // warm-up: the first load pulls in the plugins
    settle();
    for (int i = 0; i < kPresses; ++i) {
        const long before = bytesSeen.load();
        const auto t0 = Steady::now();
        k.shell.pass(press);
        ours.push_back(waitFirstBytes(t0, before));
        settle();
    }
    media.release();

    for (int i = 0; i < kPresses; ++i) {
        const QByteArray uri = "file://" + songs[i % kSongs].toUtf8();
        const long before = bytesSeen.load();
        const auto t0 = Steady::now();
        GstElement* pb = gst_element_factory_make("playbin", nullptr);
        GstElement* out = gst_parse_bin_from_description(sink.constData(), TRUE, nullptr);
        g_object_set(pb, "uri", uri.constData(), "audio-sink", out, nullptr);
        gst_element_set_state(pb, GST_STATE_PLAYING);
        bare.push_back(waitFirstBytes(t0, before));
        settle();
        gst_element_set_state(pb, GST_STATE_NULL);
        gst_object_unref(pb);
    }
    close(fds[1]);
    reader.detach();

    const Stats o = stats(ours), b = stats(bare);
    std::printf("%d presses of \"nächstes Lied\" on %d %s of 0.5 s\n", kPresses, kSongs,
                tagged ? "tagged MP3s with a cover" : "WAVs");
    std::printf("key in pass -> first audio out: median %.2f ms, p99 %.2f ms\n", o.median / 1e3, o.p99 / 1e3);
    std::printf("bare playbin start -> first audio out: median %.2f ms, p99 %.2f ms\n", b.median / 1e3, b.p99 / 1e3);
    std::printf("ratio (median): %.2fx (target <= 1.5x)\n", o.median / b.median);
    return 0;
}
