// libFuzzer target: the module path of the renderer. Loads the input as a
// module, renders 10 seconds, seeks to a position taken from the input and
// renders 2 more seconds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "playback/engines/modrender/ModCore.h"

#include <libmodplug/modplug.h>

// libmodplug is not instrumented here; comparisons on what it reports about
// the loaded module give the fuzzer a coarse signal (with -use_value_profile).
static volatile int g_sink;
template <int Kind>
__attribute__((noinline)) void feature(unsigned value) {
    const unsigned v = value < 64 ? value : 64 + (value > 1000);
    for (unsigned bucket = 0; bucket < 66; ++bucket)
        if (v == bucket)
            g_sink = g_sink + 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ModCore core;
    if (!core.load(data, size))
        return 0;
    {
        ModPlugFile* f = ModPlug_Load(data, int(size));
        if (f) {
            feature<0>(unsigned(ModPlug_GetModuleType(f)) & 63);
            feature<1>(ModPlug_NumChannels(f));
            feature<2>(ModPlug_NumPatterns(f));
            feature<3>(ModPlug_NumSamples(f));
            feature<4>(ModPlug_NumInstruments(f));
            feature<5>(unsigned(ModPlug_GetLength(f)) / 1000);
            ModPlug_Unload(f);
        }
    }
    std::vector<int16_t> buf(1024 * ModCore::Channels);
    const int blocks10s = 10 * ModCore::SampleRate / 1024;
    for (int i = 0; i < blocks10s && !core.ended(); ++i)
        core.render(buf.data(), 1024);
    int ms = 0;
    for (size_t i = 0; i < size && i < 4; ++i)
        ms = (ms << 8) | data[size - 1 - i];
    core.seek(ms % 600000 - 1000);
    core.setVolume(int(size % 101));
    for (int i = 0; i < 2 * ModCore::SampleRate / 1024; ++i)
        core.render(buf.data(), 1024);
    (void)core.pattern();
    (void)core.row();
    core.unload();
    return 0;
}
