// Reading a preference file: the bytes on disk into a document held as UTF-8.
#include <QFile>
#include <QFileInfo>

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

// Latin-1 to UTF-8: bytes 80..FF are the code points U+0080..U+00FF.
Arena latin1ToUtf8(Arena raw) {
    size_t high = 0;
    const char* const rawEnd = raw.data() + raw.size();
    for (const char* c = raw.data(); c < rawEnd; ++c) high += (uint8_t(*c) >= 0x80);
    if (high == 0) return raw;
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
        doc->arena = latin1ToUtf8(std::move(raw));
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
    while (p < end) {
        while (p < end && (*p == '\r' || *p == '\n')) ++p;
        if (p >= end) break;
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = eol ? eol : end;
        if (const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(lineEnd - p)))) lineEnd = cr;
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
