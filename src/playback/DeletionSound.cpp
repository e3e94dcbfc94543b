#include "playback/DeletionSound.h"

#include <QtEndian>
#include <cmath>

namespace {

constexpr int Rate = 22050;
constexpr int DataBytes = 8364;
constexpr int Samples = DataBytes / 2;

void put32(QByteArray& b, quint32 v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void put16(QByteArray& b, quint16 v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

}  // namespace

// A short falling "swoosh": a tone gliding from 1,400 Hz down to 250 Hz with
// a quick attack and an exponential decay, about 0.19 seconds.
QByteArray builtinDeletionSound() {
    QByteArray w("RIFF");
    put32(w, 36 + DataBytes);
    w.append("WAVEfmt ");
    put32(w, 16);
    put16(w, 1);         // PCM
    put16(w, 1);         // mono
    put32(w, Rate);
    put32(w, Rate * 2);  // bytes per second
    put16(w, 2);         // block align
    put16(w, 16);        // bits per sample
    w.append("data");
    put32(w, DataBytes);
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
    return w;
}
