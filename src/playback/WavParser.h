#pragma once
#include <QByteArray>

// A decoded RIFF WAVE image: the "fmt " description and the sample bytes of
// the "data" chunk, cut to whole frames.
struct WavSound {
    int format = 0;         // 1 = integer PCM, 3 = IEEE float
    int channels = 0;       // 1..8
    int sampleRate = 0;     // 1..384000
    int bitsPerSample = 0;  // 8, 16, 24 or 32 (float: 32)
    int blockAlign = 0;     // bytes per frame
    QByteArray data;        // interleaved samples, little-endian
};

// Parses a RIFF WAVE image from memory. Every chunk length is checked against
// the buffer; a chunk that claims more bytes than there are, a missing "fmt "
// or "data" chunk, an unsupported or inconsistent format, or an empty data
// chunk all fail. Returns false and leaves `out` untouched on failure.
// Pure function, any thread.
bool parseWav(const QByteArray& image, WavSound& out);

// A complete RIFF WAVE image of 16-bit integer PCM samples (interleaved,
// little-endian). Pure function, any thread.
QByteArray wavImage16(const QByteArray& samples, int sampleRate, int channels);
