// Writes the seed corpora for the fuzz targets: generated modules and WAVs.
// Usage: fuzz_seeds <module-dir> <wav-dir>
#include <QString>
#include <cstdio>

#include "fixtures/Fixtures.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_seeds MODULE_DIR WAV_DIR\n");
        return 2;
    }
    const QString mods = QString::fromLocal8Bit(argv[1]);
    const QString wavs = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    ok &= fixtures::writeFixture(mods + "/ends.mod", fixtures::protrackerModule(2, 16, 3, false));
    ok &= fixtures::writeFixture(mods + "/endless.mod", fixtures::protrackerModule(2, 8, 2, true));
    ok &= fixtures::writeFixture(mods + "/long.mod", fixtures::protrackerModule(4, 64, 6, false));
    ok &= fixtures::writeFixture(wavs + "/mono16.wav", fixtures::wavTone(0.01, 440, 0.5, 22050, 1));
    ok &= fixtures::writeFixture(wavs + "/stereo16.wav", fixtures::wavTone(0.01, 440, 0.5, 44100, 2));
    return ok ? 0 : 1;
}
