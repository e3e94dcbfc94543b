// Module engine CPU per second of audio: the renderer process playing a
// module in real time into fakesink, against libmodplug rendering the same
// module into memory in this process (the baseline). Renderer start-up
// (GStreamer registry, pipeline) is measured separately and taken out.
// Playing in real time means waking up for every buffer, and on a loaded
// (virtual) machine each wake-up costs tens of microseconds however little
// it does; so the benchmark also counts the renderer's wake-ups and measures
// a bare thread that only sleeps and wakes at the same rate, the floor any
// real-time output pays.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/RendererModuleEngine.h"
#include <dlfcn.h>
#include <libmodplug/modplug.h>

namespace {

double ownCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Voluntary context switches (sleeps that ended in a wake-up) of all threads
// of process `pid` so far.
long processWakeups(pid_t pid) {
    long total = 0;
    const QDir tasks(QString("/proc/%1/task").arg(pid));
    for (const QString& t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(t) + "/status");
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                total += line.mid(24).trimmed().toLong();
    }
    return total;
}

// CPU seconds per second of a thread that does nothing but sleep until the
// next of `perSecond` evenly spaced moments, for `seconds`.
double wakeupFloor(double perSecond, double seconds) {
    if (perSecond <= 0)
        return 0;
    double cpu = 0;
    std::thread t([&] {
        timespec t0{}, t1{}, next{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
        clock_gettime(CLOCK_MONOTONIC, &next);
        const long step = long(1e9 / perSecond);
        for (int i = 0; i < int(perSecond * seconds); ++i) {
            next.tv_nsec += step;
            while (next.tv_nsec >= 1000000000) {
                next.tv_nsec -= 1000000000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
        cpu = (t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) / 1e9;
    });
    t.join();
    return cpu / seconds;
}

// CPU seconds the renderer spends while it plays `seconds` of a module,
// measured from half a second after play (start-up excluded); its wake-ups
// in that time go to *wakeups.
double rendererCpu(const QString& module, double seconds, double* startup, long* wakeups) {
    RendererModuleEngine e;
    e.rendererPath = bench::rendererPath();
    if (!e.load(module)) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(module));
        return -1;
    }
    const pid_t pid = e.rendererPid();
    *startup = bench::processCpu(pid);
    e.play();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double c0 = bench::processCpu(pid);
    const long w0 = processWakeups(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double used = bench::processCpu(pid) - c0;
    *wakeups = processWakeups(pid) - w0;
    e.stop();
    return used;
}

}  // namespace

int main() {
    if (qEnvironmentVariableIsEmpty("KALVO2_AUDIO_SINK"))
        qputenv("KALVO2_AUDIO_SINK", "fakesink sync=true");
    QTemporaryDir dir;
    QStringList modules = fixtures::realModules({"it", "xm"});
    QString module = modules.isEmpty() ? QString() : modules.first();
    if (module.isEmpty()) {
        module = dir.filePath("bench.mod");
        fixtures::writeFixture(module, fixtures::protrackerModule(8, 64, 6, true));
    }
    const double seconds = 6.0;

    double startup = 0;
    long wakeups = 0;
    const double net = rendererCpu(module, seconds, &startup, &wakeups) / seconds;
    const double wakeRate = wakeups / seconds;
    const double floor = wakeupFloor(wakeRate, seconds);

    // Baseline: libmodplug itself (loaded at run time, the benchmark does not
    // link it) with the renderer's settings, rendering into memory.
    void* lib = dlopen("libmodplug.so.1", RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "libmodplug.so.1 not found\n");
        return 1;
    }
    auto setSettings = reinterpret_cast<void (*)(const ModPlug_Settings*)>(dlsym(lib, "ModPlug_SetSettings"));
    auto load = reinterpret_cast<ModPlugFile* (*)(const void*, int)>(dlsym(lib, "ModPlug_Load"));
    auto read = reinterpret_cast<int (*)(ModPlugFile*, void*, int)>(dlsym(lib, "ModPlug_Read"));
    auto unload = reinterpret_cast<void (*)(ModPlugFile*)>(dlsym(lib, "ModPlug_Unload"));
    ModPlug_Settings st{};
    st.mFlags = MODPLUG_ENABLE_OVERSAMPLING | MODPLUG_ENABLE_NOISE_REDUCTION;
    st.mChannels = 2;
    st.mBits = 16;
    st.mFrequency = 44100;
    st.mResamplingMode = MODPLUG_RESAMPLE_LINEAR;
    st.mStereoSeparation = 128;
    st.mMaxMixChannels = 32;
    st.mLoopCount = -1;
    setSettings(&st);
    QFile f(module);
    f.open(QIODevice::ReadOnly);
    const QByteArray data = f.readAll();
    ModPlugFile* mf = load(data.constData(), int(data.size()));
    std::vector<int16_t> buf(1024 * 2);
    const int blocks = int(seconds * 44100 / 1024);
    const double t0 = ownCpu();
    for (int i = 0; i < blocks && mf; ++i)
        read(mf, buf.data(), int(buf.size() * 2));
    const double base = (ownCpu() - t0) / seconds;

    // The same rendering paced in real time: one block per wake-up, as many
    // wake-ups per second as the renderer had, each block rendered after a
    // sleep (cold caches), still into memory and without any output.
    double paced = 0;
    if (mf && wakeRate > 0) {
        const int frames = std::max(1, int(44100 / wakeRate));
        std::vector<int16_t> block(size_t(frames) * 2);
        std::thread t([&] {
            timespec c0{}, c1{}, next{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
            clock_gettime(CLOCK_MONOTONIC, &next);
            const long step = long(1e9 * frames / 44100);
            for (int i = 0; i < int(seconds * 44100 / frames); ++i) {
                read(mf, block.data(), int(block.size() * 2));
                next.tv_nsec += step;
                while (next.tv_nsec >= 1000000000) {
                    next.tv_nsec -= 1000000000;
                    ++next.tv_sec;
                }
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            }
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
            paced = ((c1.tv_sec - c0.tv_sec) + (c1.tv_nsec - c0.tv_nsec) / 1e9) / seconds;
        });
        t.join();
    }
    if (mf)
        unload(mf);

    std::printf("module: %s\n", qPrintable(module));
    std::printf("renderer start-up CPU:            %.1f ms\n", startup * 1e3);
    std::printf("renderer CPU per audio second:    %.2f ms (all its threads, while playing)\n", net * 1e3);
    std::printf("baseline libmodplug into memory:  %.2f ms per audio second\n", base * 1e3);
    std::printf("ratio: %.2fx (target <= 1.2x)\n", base > 0 ? net / base : 0.0);
    std::printf("renderer wake-ups:                %.1f per second\n", wakeRate);
    std::printf("bare thread waking as often:      %.2f ms per second\n", floor * 1e3);
    std::printf("libmodplug paced like the renderer: %.2f ms per audio second (into memory, no output)\n",
                paced * 1e3);
    std::printf("ratio to the paced rendering: %.2fx\n", paced > 0 ? net / paced : 0.0);
    return 0;
}
