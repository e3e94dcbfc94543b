// Cost of the queries the tick makes ten times a second (position, pattern,
// row, isLoaded) while both engines play, against a bare clock read (the
// measurement's own cost, the baseline).
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/RendererModuleEngine.h"

namespace {

// The renderer of the same build: bench/ and src/ sit side by side.
// KALVO2_MODRENDER overrides it.
inline QString benchRendererPath() {
    if (!qEnvironmentVariableIsEmpty("KALVO2_MODRENDER"))
        return qEnvironmentVariable("KALVO2_MODRENDER");
    return QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath() + "/../src/kalvo2-modrender";
}

using Clock = std::chrono::steady_clock;

struct Figures {
    double median, p99;
};

Figures measure(const std::function<void()>& f, int n = 2000) {
    std::vector<double> us;
    us.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const auto t0 = Clock::now();
        f();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (i % 100 == 99)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[size_t(double(us.size()) * 0.99)]};
}

volatile qint64 sink;

}  // namespace

int main() {
    qputenv("KALVO2_AUDIO_SINK", "fakesink sync=true");
    QTemporaryDir dir;
    const QString wav = dir.filePath("song.wav");
    const QString mod = dir.filePath("song.mod");
    fixtures::writeFixture(wav, fixtures::wavTone(30.0, 440, 0.5, 44100, 2));
    fixtures::writeFixture(mod, fixtures::protrackerModule(4, 64, 6, true));

    GstMediaEngine media;
    media.initialise();
    const MediaHandle h = media.load(wav);
    RendererModuleEngine modules;
    modules.rendererPath = benchRendererPath();
    if (!h || !modules.load(mod)) {
        std::fprintf(stderr, "cannot load the bench songs\n");
        return 1;
    }
    media.play();
    modules.play();

    const Figures base = measure([] { sink = Clock::now().time_since_epoch().count(); });
    const Figures pos = measure([&] { sink = media.position(h); });
    const Figures len = measure([&] { sink = media.length(h); });
    const Figures pat = measure([&] { sink = modules.currentPattern(); });
    const Figures row = measure([&] { sink = modules.currentRow(); });
    const Figures loaded = measure([&] { sink = modules.isLoaded() + media.isLoaded(); });

    auto show = [&](const char* name, Figures f) {
        std::printf("%-22s median %7.2f us  p99 %7.2f us  (p99 %.0fx baseline; target p99 < 50 us: %s)\n", name,
                    f.median, f.p99, base.p99 > 0 ? f.p99 / base.p99 : 0.0, f.p99 < 50 ? "ok" : "MISSED");
    };
    std::printf("baseline clock read     median %7.2f us  p99 %7.2f us\n", base.median, base.p99);
    show("media position", pos);
    show("media length", len);
    show("module pattern", pat);
    show("module row", row);
    show("isLoaded (both)", loaded);
    modules.release();
    media.release();
    return 0;
}
