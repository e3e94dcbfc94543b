// Module engine CPU per second of audio: the renderer process playing a
// module in real time into fakesink, against libmodplug rendering the same
// module into memory in this process (the baseline). Renderer start-up
// (GStreamer registry, pipeline) is measured separately and taken out.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "fixtures/Fixtures.h"
#include "playback/engines/RendererModuleEngine.h"
#include <dlfcn.h>
#include <libmodplug/modplug.h>

namespace {

// The renderer of the same build: bench/ and src/ sit side by side.
// KALVO2_MODRENDER overrides it.
inline QString benchRendererPath() {
    if (!qEnvironmentVariableIsEmpty("KALVO2_MODRENDER"))
        return qEnvironmentVariable("KALVO2_MODRENDER");
    return QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath() + "/../src/kalvo2-modrender";
}

double childCpu() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double ownCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// CPU seconds of all threads of process `pid` so far (scheduler run time).
double processCpu(pid_t pid) {
    double total = 0;
    const QDir tasks(QString("/proc/%1/task").arg(pid));
    for (const QString& t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(t) + "/schedstat");
        if (f.open(QIODevice::ReadOnly))
            total += f.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

// CPU seconds the renderer spends while it plays `seconds` of a module,
// measured from half a second after play (start-up excluded).
double rendererCpu(const QString& module, double seconds, double* startup) {
    RendererModuleEngine e;
    e.rendererPath = benchRendererPath();
    if (!e.load(module)) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(module));
        return -1;
    }
    const pid_t pid = e.rendererPid();
    *startup = processCpu(pid);
    e.play();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double c0 = processCpu(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double used = processCpu(pid) - c0;
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
    const double net = rendererCpu(module, seconds, &startup) / seconds;

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
    if (mf)
        unload(mf);

    std::printf("module: %s\n", qPrintable(module));
    std::printf("renderer start-up CPU:            %.1f ms\n", startup * 1e3);
    std::printf("renderer CPU per audio second:    %.2f ms (all its threads, while playing)\n", net * 1e3);
    std::printf("baseline libmodplug into memory:  %.2f ms per audio second\n", base * 1e3);
    std::printf("ratio: %.2fx (target <= 1.2x)\n", base > 0 ? net / base : 0.0);
    return 0;
}
