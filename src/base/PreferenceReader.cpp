// Reading a preference file: the bytes on disk into a document held as UTF-8.
#include <QFile>
#include <QFileInfo>
#include <QString>

#include "base/PreferenceDocument.h"

namespace {

// The file's bytes, read straight into the buffer the document keeps.
Arena readAll(QFile& f) {
    Arena raw;
    const qint64 size = f.size();
    raw.resize(size_t(std::max<qint64>(size, 0)));
    const qint64 got = size > 0 ? f.read(raw.data(), size) : 0;
    raw.resize(size_t(std::max<qint64>(got, 0)));
    if (got == size) {
        char more[65536];  // a file that grew, or one that reports no size
        for (qint64 n; (n = f.read(more, sizeof more)) > 0;) raw.append(more, size_t(n));
    }
    return raw;
}

// Whether the bytes are well-formed UTF-8: no stray or missing continuation
// bytes, overlong forms, surrogates or code points above U+10FFFF.
bool isUtf8(const char* p, const char* end) {
    while (p < end) {
        // ASCII eight bytes at a time.
        uint64_t word;
        if (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) {
            p += 8;
            continue;
        }
        const uint8_t b = uint8_t(*p);
        if (b < 0x80) {
            ++p;
            continue;
        }
        int more;
        uint8_t lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) more = 1;
        else if (b == 0xE0) { more = 2; lo = 0xA0; }
        else if (b == 0xED) { more = 2; hi = 0x9F; }
        else if (b >= 0xE1 && b <= 0xEF) more = 2;
        else if (b == 0xF0) { more = 3; lo = 0x90; }
        else if (b == 0xF4) { more = 3; hi = 0x8F; }
        else if (b >= 0xF1 && b <= 0xF3) more = 3;
        else return false;
        if (end - p <= more) return false;
        const uint8_t second = uint8_t(p[1]);
        if (second < lo || second > hi) return false;
        for (int i = 2; i <= more; ++i)
            if ((uint8_t(p[i]) & 0xC0) != 0x80) return false;
        p += more + 1;
    }
    return true;
}

// Text without a BOM: UTF-8 when it is well-formed UTF-8 (what editors on
// Linux write), else Latin-1, whose bytes 80..FF are U+0080..U+00FF.
Arena bomlessToUtf8(Arena raw) {
    size_t high = 0;
    const char* const rawEnd = raw.data() + raw.size();
    for (const char* c = raw.data(); c < rawEnd; ++c) high += (uint8_t(*c) >= 0x80);
    if (high == 0 || isUtf8(raw.data(), rawEnd)) return raw;
    Arena out;
    out.reserve(raw.size() + high);
    for (const char* c = raw.data(); c < rawEnd; ++c) {
        const uint8_t b = uint8_t(*c);
        if (b < 0x80) {
            out.push_back(*c);
        } else {
            out.push_back(char(0xC0 | (b >> 6)));
            out.push_back(char(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

}  // namespace

bool PreferenceFile::openPreferences(const QString& fileName) {
    closePreferences();
    doc = std::make_unique<Document>();
    doc->fileName = fileName;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    doc->readOnly = !QFileInfo(fileName).isWritable();
    Arena raw = readAll(f);
    f.close();
    qsizetype skip = 0;
    if (raw.size() > 2 && std::memcmp(raw.data(), "\xEF\xBB\xBF", 3) == 0) {
        skip = 3;
        doc->arena = std::move(raw);
    } else {
        doc->arena = bomlessToUtf8(std::move(raw));
    }
    doc->parse(skip);
    return true;
}

void PreferenceFile::Document::parse(qsizetype from) {
    const char* begin = arena.data();
    const char* end = begin + arena.size();
    const char* p = begin + from;
    const size_t lines = size_t(std::count(p, end, '\n')) + 1;
    entries.reserve(lines);
    keys.reserveFor(lines);
    // The next LF and the next CR at or after p (end when there is none).
    // Each is searched again only once p has passed it, so every byte is
    // looked at a bounded number of times whatever the line ends are.
    const char* nextLf = nullptr;
    const char* nextCr = nullptr;
    auto ahead = [&](const char*& next, char c) {
        if (!next || next < p) {
            next = static_cast<const char*>(std::memchr(p, c, size_t(end - p)));
            if (!next) next = end;
        }
        return next;
    };
    while (p < end) {
        while (p < end && (*p == '\r' || *p == '\n')) ++p;
        if (p >= end) break;
        const char* lineEnd = std::min(ahead(nextLf, '\n'), ahead(nextCr, '\r'));
        const char* s = p;
        p = lineEnd;
        while (s < lineEnd && isBlank(*s)) ++s;
        if (s == lineEnd) continue;
        Entry en;
        if (*s == ';') {
            ++s;
            if (s < lineEnd && *s == ' ') ++s;
            en.kind = Kind::Comment;
            en.name = Span{s - begin, lineEnd - s};
        } else if (*s == '[') {
            ++s;
            const char* close = static_cast<const char*>(std::memchr(s, ']', size_t(lineEnd - s)));
            en.kind = Kind::Header;
            en.name = Span{s - begin, (close ? close : lineEnd) - s};
        } else {
            const char* eq = static_cast<const char*>(std::memchr(s, '=', size_t(lineEnd - s)));
            const char* nameEnd = eq ? eq : lineEnd;
            while (nameEnd > s && isBlank(nameEnd[-1])) --nameEnd;
            en.kind = Kind::Key;
            en.name = Span{s - begin, nameEnd - s};
            if (eq) {
                const char* v = eq + 1;
                while (v < lineEnd && isBlank(*v)) ++v;
                en.value = Span{v - begin, lineEnd - v};
            } else {
                en.value = Span{lineEnd - begin, 0};
            }
        }
        append(en);
    }
}
