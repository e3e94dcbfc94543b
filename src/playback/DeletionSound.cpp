#include "playback/DeletionSound.h"

#include "playback/WavParser.h"

#include <QtEndian>
#include <cmath>

namespace {

constexpr int Rate = 22050;
constexpr int DataBytes = 8364;
constexpr int Samples = DataBytes / 2;

void put16(QByteArray& b, quint16 v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

}  // namespace

// A short falling "swoosh": a tone gliding from 1,400 Hz down to 250 Hz with
// a quick attack and an exponential decay, about 0.19 seconds.
QByteArray builtinDeletionSound() {
    QByteArray w;
    w.reserve(DataBytes);
    double phase = 0;
    for (int i = 0; i < Samples; ++i) {
        const double t = double(i) / Samples;
        const double freq = 250.0 + 1150.0 * (1.0 - t) * (1.0 - t);
        phase += 2 * M_PI * freq / Rate;
        const double attack = std::min(1.0, i / 200.0);
        const double env = attack * std::exp(-4.0 * t);
        const double v = 0.6 * env * std::sin(phase);
        put16(w, quint16(qint16(std::lround(v * 32767))));
    }
    return wavImage16(w, Rate, 1);
}
