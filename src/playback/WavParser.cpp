#include "playback/WavParser.h"

#include <QtEndian>
#include <cstring>

namespace {

quint32 le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

quint16 le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | (u[1] << 8));
}

constexpr quint16 FormatPcm = 1;
constexpr quint16 FormatFloat = 3;
constexpr quint16 FormatExtensible = 0xFFFE;

}  // namespace

bool parseWav(const QByteArray& image, WavSound& out) {
    const char* base = image.constData();
    const qint64 size = image.size();
    if (size < 12 || std::memcmp(base, "RIFF", 4) != 0 || std::memcmp(base + 8, "WAVE", 4) != 0)
        return false;
    // The RIFF length may not exceed the buffer; chunks are read only inside it.
    const qint64 riffEnd = 8 + qint64(le32(base + 4));
    if (riffEnd > size || riffEnd < 12)
        return false;

    WavSound w;
    bool haveFmt = false, haveData = false;
    qint64 pos = 12;
    while (pos + 8 <= riffEnd) {
        const char* id = base + pos;
        const qint64 len = le32(base + pos + 4);
        const qint64 body = pos + 8;
        if (len > riffEnd - body)
            return false;  // the chunk claims more than there is
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (haveFmt || len < 16)
                return false;
            const char* f = base + body;
            quint16 tag = le16(f);
            w.channels = le16(f + 2);
            w.sampleRate = int(le32(f + 4));
            w.blockAlign = le16(f + 12);
            w.bitsPerSample = le16(f + 14);
            if (tag == FormatExtensible) {
                // cbSize >= 22, then valid bits, channel mask and the sub-format GUID
                if (len < 40 || le16(f + 16) < 22)
                    return false;
                tag = le16(f + 24);
            }
            w.format = tag;
            haveFmt = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (haveData)
                return false;
            w.data = image.mid(body, len);
            haveData = true;
        }
        pos = body + len + (len & 1);  // chunks are padded to even length
    }
    if (!haveFmt || !haveData)
        return false;

    if (w.channels < 1 || w.channels > 8 || w.sampleRate < 1 || w.sampleRate > 384000)
        return false;
    if (w.format == FormatPcm) {
        if (w.bitsPerSample != 8 && w.bitsPerSample != 16 && w.bitsPerSample != 24 && w.bitsPerSample != 32)
            return false;
    } else if (w.format == FormatFloat) {
        if (w.bitsPerSample != 32)
            return false;
    } else {
        return false;
    }
    if (w.blockAlign != w.channels * (w.bitsPerSample / 8))
        return false;
    w.data.truncate(w.data.size() - w.data.size() % w.blockAlign);
    if (w.data.isEmpty())
        return false;
    out = std::move(w);
    return true;
}

QByteArray wavImage16(const QByteArray& samples, int sampleRate, int channels) {
    char header[44];
    std::memcpy(header, "RIFF", 4);
    qToLittleEndian<quint32>(quint32(36 + samples.size()), header + 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, header + 16);
    qToLittleEndian<quint16>(FormatPcm, header + 20);
    qToLittleEndian<quint16>(quint16(channels), header + 22);
    qToLittleEndian<quint32>(quint32(sampleRate), header + 24);
    qToLittleEndian<quint32>(quint32(sampleRate * channels * 2), header + 28);
    qToLittleEndian<quint16>(quint16(channels * 2), header + 32);
    qToLittleEndian<quint16>(16, header + 34);
    std::memcpy(header + 36, "data", 4);
    qToLittleEndian<quint32>(quint32(samples.size()), header + 40);
    return QByteArray(header, sizeof header) + samples;
}
