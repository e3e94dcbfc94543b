// libFuzzer target: the RIFF WAVE parser used for the deletion sound.
#include <QByteArray>
#include <cstdlib>

#include "playback/WavParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray image = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    WavSound w;
    if (parseWav(image, w)) {
        // What the sound output relies on.
        if (w.blockAlign <= 0 || w.data.isEmpty() || w.data.size() % w.blockAlign != 0 ||
            w.data.size() > image.size())
            std::abort();
        volatile char sink = w.data.at(w.data.size() - 1);
        (void)sink;
    }
    return 0;
}
