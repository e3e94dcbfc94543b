#include "base/PreferenceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

enum class Kind : uint8_t { Header, Comment, Key };

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

bool foldEqual(const char* a, qsizetype na, const char* b, qsizetype nb) {
    if (na != nb) return false;
    for (qsizetype i = 0; i < na; ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return true;
}

uint64_t foldHash(const char* s, qsizetype n, uint64_t seed) {
    uint64_t h = 1469598103934665603ULL ^ seed;  // FNV-1a
    for (qsizetype i = 0; i < n; ++i) {
        h ^= uint8_t(foldAscii(s[i]));
        h *= 1099511628211ULL;
    }
    h ^= h >> 33;  // spread the bits (FNV's low bits are weak)
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

// A growable byte buffer that does not zero what it grows by.
class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    Arena(Arena&& o) noexcept : buf(o.buf), len(o.len), cap(o.cap) { o.buf = nullptr; o.len = o.cap = 0; }
    Arena& operator=(Arena&& o) noexcept {
        std::swap(buf, o.buf);
        std::swap(len, o.len);
        std::swap(cap, o.cap);
        return *this;
    }
    ~Arena() { std::free(buf); }
    char* data() { return buf; }
    const char* data() const { return buf; }
    size_t size() const { return len; }
    void reserve(size_t n) {
        if (n <= cap) return;
        char* b = static_cast<char*>(std::realloc(buf, n));
        if (!b) throw std::bad_alloc();
        buf = b;
        cap = n;
    }
    void resize(size_t n) {
        if (n > cap) reserve(std::max(n, cap + cap / 2 + 64));
        len = n;
    }
    void append(const char* p, size_t n) {
        const size_t at = len;
        resize(len + n);
        if (n) std::memcpy(buf + at, p, n);
    }
    void push_back(char c) { append(&c, 1); }

private:
    char* buf = nullptr;
    size_t len = 0;
    size_t cap = 0;
};

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// atoi: blanks skipped, optional sign, digits to the first other character.
int atoiBytes(const char* p, const char* end) {
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
    uint32_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') v = v * 10u + uint32_t(*p++ - '0');
    if (negative) v = 0u - v;
    return int(int32_t(v));
}

}  // namespace

struct PreferenceFile::Document {
    struct Span {
        qsizetype off = 0;
        qsizetype len = 0;
    };
    struct Entry {
        Span name;   // group name, key name or comment text
        Span value;  // key value, untrimmed
        int next = -1;
        int group = 0;
        Kind kind = Kind::Key;
    };
    struct Group {
        int header = -1;  // entry index; -1 for the unnamed group
        int last = -1;    // last entry of the group; -1: the group is empty (unnamed only)
    };

    // Open-addressing table (linear probing) of entry (key) or group
    // indices, found by folded name. Each slot keeps 32 hash bits: they give
    // its place on growth and reject most other names without touching
    // their entries.
    struct Slot {
        int idx = -1;  // -1: empty
        uint32_t tag = 0;
    };
    struct Index {
        std::vector<Slot> table;
        qsizetype used = 0;
    };

    QString fileName;
    Arena arena;  // UTF-8 text of every name and value
    std::vector<Entry> entries;
    std::vector<Group> groups{Group{}};  // groups[0] is the unnamed group
    Index keys;    // first key of each (group, name)
    Index groupIx; // first group of each name
    int head = -1;  // first entry in document order
    int tail = -1;  // last entry in document order
    int selected = 0;
    bool pending = false;
    QByteArray pendingName;
    int cursor = -1;  // -1: before the first entry
    bool modified = false;
    bool readOnly = false;
    bool created = false;
    std::unique_ptr<QSaveFile> saveFile;  // created documents: checked at create time
    // Keys appended to group runGroup without entering the index: plain
    // decimal names of rising value (the numbered lists), which cannot equal
    // each other, written into a group that held no key before. They enter
    // the index before any key lookup (entries runFrom.. of that group).
    int runGroup = -1;
    int runFrom = 0;
    uint64_t runLast = 0;

    const char* ptr(Span s) const { return arena.data() + s.off; }

    // Appends text as UTF-8.
    Span store(QStringView text) {
        const size_t at = arena.size();
        const qsizetype n = text.size();
        const char16_t* src = text.utf16();
        // ASCII is copied as it is; from the first other character on the
        // encoder takes over (an ASCII character never splits a pair).
        arena.resize(at + size_t(n));
        char* out = arena.data() + at;
        qsizetype i = 0;
        while (i < n && src[i] < 0x80) {
            out[i] = char(src[i]);
            ++i;
        }
        if (i < n) {
            QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
            const QStringView rest = text.mid(i);
            arena.resize(at + size_t(i) + size_t(utf8.requiredSpace(rest.size())));
            char* end = utf8.appendToBuffer(arena.data() + at + size_t(i), rest);
            arena.resize(size_t(end - arena.data()));
        }
        return Span{qsizetype(at), qsizetype(arena.size() - at)};
    }

    Span store(const QByteArray& bytes) {
        Span s{qsizetype(arena.size()), bytes.size()};
        arena.append(bytes.constData(), size_t(bytes.size()));
        return s;
    }

    uint64_t keyHash(int group, const char* s, qsizetype n) const { return foldHash(s, n, uint64_t(group) * 0x9E3779B97F4A7C15ULL); }

    // Doubles the table (at least to minSize) and re-places every slot by
    // the hash bits it keeps, without touching the names.
    static void grow(Index& ix, size_t minSize) {
        std::vector<Slot> old;
        old.swap(ix.table);
        size_t size = old.empty() ? 64 : old.size() * 2;
        while (size < minSize) size *= 2;
        ix.table.assign(size, Slot{});
        const size_t mask = size - 1;
        for (const Slot& v : old) {
            if (v.idx < 0) continue;
            size_t i = v.tag & mask;
            while (ix.table[i].idx >= 0) i = (i + 1) & mask;
            ix.table[i] = v;
        }
    }

    // The hash bits a slot keeps: they give its place and reject other names.
    static uint32_t tagOf(uint64_t h) { return uint32_t(h); }


    // The first key of group named s, or -1; slot receives where a new key
    // of that name would go (the table has room for one more).
    int findKey(int group, const char* s, qsizetype n, size_t* slot = nullptr, uint32_t* slotTag = nullptr) {
        if (runGroup >= 0) flushRun();
        if ((keys.used + 1) * 2 > qsizetype(keys.table.size()))
            grow(keys, 0);
        const uint64_t h = keyHash(group, s, n);
        const uint32_t tag = tagOf(h);
        const size_t mask = keys.table.size() - 1;
        for (size_t i = tag & mask;; i = (i + 1) & mask) {
            const Slot& sl = keys.table[i];
            if (sl.idx < 0) {
                if (slot) *slot = i;
                if (slotTag) *slotTag = tag;
                return -1;
            }
            if (sl.tag != tag) continue;
            const Entry& en = entries[sl.idx];
            if (en.group == group && foldEqual(ptr(en.name), en.name.len, s, n)) return sl.idx;
        }
    }

    // Enters the keys of the unindexed run into the index.
    void flushRun() {
        const int g = runGroup;
        runGroup = -1;
        const int end = int(entries.size());
        const size_t want = size_t(keys.used + (end - runFrom) + 1) * 2;
        if (want > keys.table.size()) grow(keys, want);
        for (int e = runFrom; e < end; ++e)
            if (entries[e].kind == Kind::Key && entries[e].group == g) indexKey(e);
    }

    // Records key entry e unless its group already holds that name.
    void indexKey(int e) {
        const Entry& en = entries[e];
        size_t slot = 0;
        uint32_t tag = 0;
        if (findKey(en.group, ptr(en.name), en.name.len, &slot, &tag) >= 0) return;
        keys.table[slot] = Slot{e, tag};
        ++keys.used;
    }

    int findGroup(const char* s, qsizetype n) const {
        if (groupIx.table.empty()) return -1;
        const size_t mask = groupIx.table.size() - 1;
        for (size_t i = tagOf(foldHash(s, n, 7)) & mask;; i = (i + 1) & mask) {
            const int g = groupIx.table[i].idx;
            if (g < 0) return -1;
            const Entry& h = entries[groups[g].header];
            if (foldEqual(ptr(h.name), h.name.len, s, n)) return g;
        }
    }

    void indexGroup(int g) {
        if ((groupIx.used + 1) * 2 > qsizetype(groupIx.table.size()))
            grow(groupIx, 0);
        const Entry& h = entries[groups[g].header];
        const size_t mask = groupIx.table.size() - 1;
        const uint32_t tag = tagOf(foldHash(ptr(h.name), h.name.len, 7));
        for (size_t i = tag & mask;; i = (i + 1) & mask) {
            const int o = groupIx.table[i].idx;
            if (o < 0) {
                groupIx.table[i] = Slot{g, tag};
                ++groupIx.used;
                return;
            }
            const Entry& oh = entries[groups[o].header];
            if (foldEqual(ptr(oh.name), oh.name.len, ptr(h.name), h.name.len)) return;
        }
    }

    // Appends an entry at the end of the document (used while reading).
    int append(const Entry& proto) {
        const int e = int(entries.size());
        entries.push_back(proto);
        Entry& en = entries.back();
        en.next = -1;
        if (tail < 0) head = e; else entries[tail].next = e;
        tail = e;
        if (en.kind == Kind::Header) {
            groups.push_back(Group{e, e});
            en.group = int(groups.size()) - 1;
            indexGroup(en.group);
        } else {
            en.group = int(groups.size()) - 1;
            groups[en.group].last = e;
            if (en.kind == Kind::Key) indexKey(e);
        }
        return e;
    }

    // Inserts a comment or key directly after entry `after` (-1: at the start),
    // as a member of `group`. keySlot: the free slot findKey reported, -1 to
    // look it up, NoIndex to leave the key out of the index (a run key).
    static constexpr size_t NoIndex = size_t(-2);
    int insertAfter(int after, int group, Kind kind, Span name, Span value, size_t keySlot = size_t(-1),
                    uint32_t keyTag = 0) {
        const int e = int(entries.size());
        Entry en;
        en.kind = kind;
        en.name = name;
        en.value = value;
        en.group = group;
        if (after < 0) {
            en.next = head;
            head = e;
        } else {
            en.next = entries[after].next;
        }
        entries.push_back(en);
        if (after >= 0) entries[after].next = e;
        if (after == tail) tail = e;
        if (tail < 0) tail = e;
        if (groups[group].last == after) groups[group].last = e;
        if (kind == Kind::Key && keySlot != NoIndex) {
            if (keySlot == size_t(-1)) {
                indexKey(e);
            } else {  // the free slot findKey just reported
                keys.table[keySlot] = Slot{e, keyTag};
                ++keys.used;
            }
        }
        return e;
    }

    // A write while a group is pending first appends that group's header.
    void materializePending() {
        if (!pending) return;
        Entry h;
        h.kind = Kind::Header;
        h.name = store(pendingName);
        const int e = append(h);
        selected = entries[e].group;
        cursor = e;
        pending = false;
        pendingName.clear();
    }

    void parse(qsizetype from);
    QByteArray serialize() const;
};

void PreferenceFile::Document::parse(qsizetype from) {
    const char* begin = arena.data();
    const char* end = begin + arena.size();
    const char* p = begin + from;
    const size_t lines = size_t(std::count(p, end, '\n')) + 1;
    entries.reserve(lines);
    grow(keys, lines * 2);
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

QByteArray PreferenceFile::Document::serialize() const {
    qsizetype total = 5;
    for (int e = head; e >= 0; e = entries[e].next)
        total += entries[e].name.len + entries[e].value.len + 6;
    QByteArray out(total, Qt::Uninitialized);
    char* p = out.data();
    auto put = [&p](const char* s, qsizetype n) {
        std::memcpy(p, s, size_t(n));
        p += n;
    };
    put("\xEF\xBB\xBF\r\n", 5);
    for (int e = head; e >= 0; e = entries[e].next) {
        const Entry& en = entries[e];
        switch (en.kind) {
        case Kind::Header:
            *p++ = '[';
            put(ptr(en.name), en.name.len);
            *p++ = ']';
            break;
        case Kind::Comment:
            put("; ", 2);
            put(ptr(en.name), en.name.len);
            break;
        case Kind::Key:
            put(ptr(en.name), en.name.len);
            put(" = ", 3);
            put(ptr(en.value), en.value.len);
            break;
        }
        put("\r\n", 2);
    }
    out.truncate(p - out.constData());
    return out;
}

PreferenceFile::PreferenceFile() = default;
PreferenceFile::~PreferenceFile() = default;

bool PreferenceFile::openPreferences(const QString& fileName) {
    closePreferences();
    doc = std::make_unique<Document>();
    doc->fileName = fileName;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    doc->readOnly = !QFileInfo(fileName).isWritable();
    Arena raw;
    {
        // Read straight into the buffer the document keeps.
        const qint64 size = f.size();
        raw.resize(size_t(std::max<qint64>(size, 0)));
        const qint64 got = size > 0 ? f.read(raw.data(), size) : 0;
        raw.resize(size_t(std::max<qint64>(got, 0)));
        if (got == size) {
            char more[65536];  // a file that grew, or one that reports no size
            for (qint64 n; (n = f.read(more, sizeof more)) > 0;) raw.append(more, size_t(n));
        }
    }
    f.close();
    qsizetype skip = 0;
    if (raw.size() > 2 && std::memcmp(raw.data(), "\xEF\xBB\xBF", 3) == 0) {
        skip = 3;
        doc->arena = std::move(raw);
    } else {
        // Latin-1: bytes 80..FF are the code points U+0080..U+00FF.
        size_t high = 0;
        const char* const rawEnd = raw.data() + raw.size();
        for (const char* c = raw.data(); c < rawEnd; ++c) high += (uint8_t(*c) >= 0x80);
        if (high == 0) {
            doc->arena = std::move(raw);
        } else {
            doc->arena.reserve(raw.size() + high);
            for (const char* c = raw.data(); c < rawEnd; ++c) {
                const uint8_t b = uint8_t(*c);
                if (b < 0x80) {
                    doc->arena.push_back(*c);
                } else {
                    doc->arena.push_back(char(0xC0 | (b >> 6)));
                    doc->arena.push_back(char(0x80 | (b & 0x3F)));
                }
            }
        }
    }
    doc->parse(skip);
    return true;
}

bool PreferenceFile::createPreferences(const QString& fileName) {
    closePreferences();
    auto save = std::make_unique<QSaveFile>(fileName);
    if (!save->open(QIODevice::WriteOnly)) return false;
    doc = std::make_unique<Document>();
    doc->fileName = fileName;
    doc->created = true;
    doc->saveFile = std::move(save);
    return true;
}

bool PreferenceFile::closePreferences() {
    if (!doc) return true;
    std::unique_ptr<Document> d = std::move(doc);
    if (d->created) {
        if (d->modified) {
            const QByteArray text = d->serialize();
            if (d->saveFile->write(text) != text.size()) {
                d->saveFile->cancelWriting();
                d->saveFile->commit();
                return false;
            }
        }
        return d->saveFile->commit();
    }
    if (!d->modified || d->readOnly) return true;
    QSaveFile out(d->fileName);
    if (!out.open(QIODevice::WriteOnly)) return false;
    const QByteArray text = d->serialize();
    if (out.write(text) != text.size()) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    return out.commit();
}

bool PreferenceFile::selectGroup(const QString& name) {
    if (!doc) return false;
    doc->pending = false;
    doc->pendingName.clear();
    if (name.isEmpty()) {
        doc->selected = 0;
        doc->cursor = -1;
        return true;
    }
    const QByteArray n = name.toUtf8();
    const int g = doc->findGroup(n.constData(), n.size());
    if (g < 0) {
        doc->pending = true;
        doc->pendingName = n;
        return false;
    }
    doc->selected = g;
    doc->cursor = doc->groups[g].header;
    return true;
}

namespace {
QString trimmedValue(const char* s, qsizetype n) {
    while (n > 0 && isBlank(*s)) { ++s; --n; }
    while (n > 0 && isBlank(s[n - 1])) --n;
    return QString::fromUtf8(s, n);
}
}  // namespace

namespace {
// UTF-8 of a name, on the stack for the usual short ones.
struct Utf8Name {
    QVarLengthArray<char, 128> bytes;
    explicit Utf8Name(QStringView text) {
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        bytes.resize(utf8.requiredSpace(text.size()));
        bytes.resize(utf8.appendToBuffer(bytes.data(), text) - bytes.data());
    }
};
}  // namespace

int PreferenceFile::findKeyForRead(const QString& key) {
    if (!doc || doc->pending) return -1;
    const Utf8Name n(key);
    const int e = doc->findKey(doc->selected, n.bytes.constData(), n.bytes.size());
    if (e >= 0) doc->cursor = e;
    return e;
}

QString PreferenceFile::readString(const QString& key, const QString& defaultValue) {
    const int e = findKeyForRead(key);
    if (e < 0) return defaultValue;
    const auto& en = doc->entries[e];
    return trimmedValue(doc->ptr(en.value), en.value.len);
}

int PreferenceFile::readInteger(const QString& key, int defaultValue) {
    const int e = findKeyForRead(key);
    if (e < 0) return defaultValue;
    const auto& en = doc->entries[e];
    const char* v = doc->ptr(en.value);
    return atoiBytes(v, v + en.value.len);
}

bool PreferenceFile::examineKeys() {
    if (!doc || doc->pending) return false;
    doc->cursor = doc->groups[doc->selected].header;
    return true;
}

bool PreferenceFile::nextKey() {
    if (!doc || doc->pending) return false;
    int e = doc->cursor < 0 ? doc->head : doc->entries[doc->cursor].next;
    while (e >= 0) {
        const auto& en = doc->entries[e];
        if (en.kind == Kind::Header) return false;
        if (en.kind == Kind::Key) {
            doc->cursor = e;
            return true;
        }
        doc->cursor = e;
        e = en.next;
    }
    return false;
}

QString PreferenceFile::keyName() const {
    if (!doc || doc->cursor < 0) return {};
    const auto& en = doc->entries[doc->cursor];
    if (en.kind != Kind::Key) return {};
    return QString::fromUtf8(doc->ptr(en.name), en.name.len);
}

QString PreferenceFile::keyValue() const {
    if (!doc || doc->cursor < 0) return {};
    const auto& en = doc->entries[doc->cursor];
    if (en.kind != Kind::Key) return {};
    return trimmedValue(doc->ptr(en.value), en.value.len);
}

void PreferenceFile::writeComment(const QString& text) {
    if (!doc) return;
    doc->materializePending();
    const int c = doc->cursor;
    const int group = c < 0 ? 0 : doc->entries[c].group;
    const Document::Span t = doc->store(QStringView(text));
    doc->cursor = doc->insertAfter(c, group, Kind::Comment, t, Document::Span{});
    doc->modified = true;
}

namespace {
// The value of a plain decimal name (digits only, no leading zero, at most
// 18 digits), or -1.
int64_t plainDecimal(const QString& key) {
    const qsizetype n = key.size();
    if (n < 1 || n > 18) return -1;
    const QChar* p = key.constData();
    if (n > 1 && p[0] == QLatin1Char('0')) return -1;
    int64_t v = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < u'0' || c > u'9') return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}
}  // namespace

void PreferenceFile::writeString(const QString& key, const QString& value) {
    if (!doc) return;
    doc->materializePending();
    const int g = doc->selected;
    // A numbered list written in order: the new name cannot be in the group
    // yet, so it is appended without an index lookup.
    if (const int64_t number = plainDecimal(key); number >= 0) {
        Document& d = *doc;
        const bool extendsRun = d.runGroup == g && uint64_t(number) > d.runLast;
        const bool startsRun = d.runGroup != g && d.groups[g].last == d.groups[g].header;
        if (extendsRun || startsRun) {
            if (startsRun) {
                if (d.runGroup >= 0) d.flushRun();
                d.runGroup = g;
                d.runFrom = int(d.entries.size());
            }
            d.runLast = uint64_t(number);
            const Document::Span ns{qsizetype(d.arena.size()), key.size()};
            d.arena.resize(d.arena.size() + size_t(key.size()));
            char* out = d.arena.data() + ns.off;
            for (qsizetype i = 0; i < key.size(); ++i) out[i] = char(key.constData()[i].unicode());
            const Document::Span vs = d.store(QStringView(value));
            d.cursor = d.insertAfter(d.groups[g].last, g, Kind::Key, ns, vs, Document::NoIndex);
            d.modified = true;
            return;
        }
    }
    const Document::Span ns = doc->store(QStringView(key));
    const Document::Span vs = doc->store(QStringView(value));
    size_t slot = 0;
    uint32_t tag = 0;
    const int e = doc->findKey(g, doc->ptr(ns), ns.len, &slot, &tag);
    if (e >= 0) {
        // In place; the stored name takes the case given (same folded name).
        doc->entries[e].name = ns;
        doc->entries[e].value = vs;
        doc->cursor = e;
    } else {
        doc->cursor = doc->insertAfter(doc->groups[g].last, g, Kind::Key, ns, vs, slot, tag);
    }
    doc->modified = true;
}

void PreferenceFile::writeInteger(const QString& key, int value) {
    writeString(key, QString::number(value));
}

int readAtoi(const QString& text) {
    const QByteArray b = text.toUtf8();
    return atoiBytes(b.constData(), b.constData() + b.size());
}
