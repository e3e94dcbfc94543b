#include "shell/PreferenceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>
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
    return h ^ (h >> 29);
}

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

    // Open-addressing table of entry (key) or group indices, found by folded name.
    struct Index {
        std::vector<int> table;  // -1 empty
        qsizetype used = 0;
    };

    QString fileName;
    std::string arena;  // UTF-8 text of every name and value
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

    const char* ptr(Span s) const { return arena.data() + s.off; }

    Span store(const QByteArray& bytes) {
        Span s{qsizetype(arena.size()), bytes.size()};
        arena.append(bytes.constData(), size_t(bytes.size()));
        return s;
    }

    uint64_t keyHash(int group, const char* s, qsizetype n) const { return foldHash(s, n, uint64_t(group) * 0x9E3779B97F4A7C15ULL); }

    template <class HashOf>
    void grow(Index& ix, HashOf hashOf) {
        std::vector<int> old;
        old.swap(ix.table);
        ix.table.assign(old.empty() ? 64 : old.size() * 2, -1);
        const size_t mask = ix.table.size() - 1;
        for (int v : old) {
            if (v < 0) continue;
            size_t i = size_t(hashOf(v)) & mask;
            while (ix.table[i] >= 0) i = (i + 1) & mask;
            ix.table[i] = v;
        }
    }

    uint64_t keyHashOfEntry(int e) const { return keyHash(entries[e].group, ptr(entries[e].name), entries[e].name.len); }
    uint64_t groupHashOf(int g) const {
        const Entry& h = entries[groups[g].header];
        return foldHash(ptr(h.name), h.name.len, 7);
    }

    int findKey(int group, const char* s, qsizetype n) const {
        if (keys.table.empty()) return -1;
        const size_t mask = keys.table.size() - 1;
        for (size_t i = size_t(keyHash(group, s, n)) & mask;; i = (i + 1) & mask) {
            const int e = keys.table[i];
            if (e < 0) return -1;
            const Entry& en = entries[e];
            if (en.group == group && foldEqual(ptr(en.name), en.name.len, s, n)) return e;
        }
    }

    // Records key entry e unless its group already holds that name.
    void indexKey(int e) {
        if ((keys.used + 1) * 2 > qsizetype(keys.table.size()))
            grow(keys, [this](int v) { return keyHashOfEntry(v); });
        const Entry& en = entries[e];
        const size_t mask = keys.table.size() - 1;
        for (size_t i = size_t(keyHash(en.group, ptr(en.name), en.name.len)) & mask;; i = (i + 1) & mask) {
            const int o = keys.table[i];
            if (o < 0) {
                keys.table[i] = e;
                ++keys.used;
                return;
            }
            const Entry& on = entries[o];
            if (on.group == en.group && foldEqual(ptr(on.name), on.name.len, ptr(en.name), en.name.len)) return;
        }
    }

    int findGroup(const char* s, qsizetype n) const {
        if (groupIx.table.empty()) return -1;
        const size_t mask = groupIx.table.size() - 1;
        for (size_t i = size_t(foldHash(s, n, 7)) & mask;; i = (i + 1) & mask) {
            const int g = groupIx.table[i];
            if (g < 0) return -1;
            const Entry& h = entries[groups[g].header];
            if (foldEqual(ptr(h.name), h.name.len, s, n)) return g;
        }
    }

    void indexGroup(int g) {
        if ((groupIx.used + 1) * 2 > qsizetype(groupIx.table.size()))
            grow(groupIx, [this](int v) { return groupHashOf(v); });
        const Entry& h = entries[groups[g].header];
        const size_t mask = groupIx.table.size() - 1;
        for (size_t i = size_t(foldHash(ptr(h.name), h.name.len, 7)) & mask;; i = (i + 1) & mask) {
            const int o = groupIx.table[i];
            if (o < 0) {
                groupIx.table[i] = g;
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
    // as a member of `group`.
    int insertAfter(int after, int group, Kind kind, Span name, Span value) {
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
        if (kind == Kind::Key) indexKey(e);
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

    void parse(const char* data, qsizetype size);
    QByteArray serialize() const;
};

void PreferenceFile::Document::parse(const char* begin, qsizetype size) {
    const char* p = begin;
    const char* end = begin + size;
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
    QByteArray out;
    out.reserve(total);
    out.append("\xEF\xBB\xBF\r\n", 5);
    for (int e = head; e >= 0; e = entries[e].next) {
        const Entry& en = entries[e];
        switch (en.kind) {
        case Kind::Header:
            out.append('[').append(ptr(en.name), en.name.len).append(']');
            break;
        case Kind::Comment:
            out.append("; ", 2).append(ptr(en.name), en.name.len);
            break;
        case Kind::Key:
            out.append(ptr(en.name), en.name.len).append(" = ", 3).append(ptr(en.value), en.value.len);
            break;
        }
        out.append("\r\n", 2);
    }
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
    const QByteArray raw = f.readAll();
    f.close();
    if (raw.size() > 2 && raw.startsWith("\xEF\xBB\xBF")) {
        doc->arena.assign(raw.constData() + 3, size_t(raw.size() - 3));
    } else {
        // Latin-1: bytes 80..FF are the code points U+0080..U+00FF.
        qsizetype high = 0;
        for (char c : raw) high += (uint8_t(c) >= 0x80);
        doc->arena.reserve(size_t(raw.size() + high));
        for (char c : raw) {
            const uint8_t b = uint8_t(c);
            if (b < 0x80) {
                doc->arena.push_back(c);
            } else {
                doc->arena.push_back(char(0xC0 | (b >> 6)));
                doc->arena.push_back(char(0x80 | (b & 0x3F)));
            }
        }
    }
    doc->parse(doc->arena.data(), qsizetype(doc->arena.size()));
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

QString PreferenceFile::readString(const QString& key, const QString& defaultValue) {
    if (!doc || doc->pending) return defaultValue;
    const QByteArray n = key.toUtf8();
    const int e = doc->findKey(doc->selected, n.constData(), n.size());
    if (e < 0) return defaultValue;
    doc->cursor = e;
    const auto& en = doc->entries[e];
    return trimmedValue(doc->ptr(en.value), en.value.len);
}

int PreferenceFile::readInteger(const QString& key, int defaultValue) {
    if (!doc || doc->pending) return defaultValue;
    const QByteArray n = key.toUtf8();
    const int e = doc->findKey(doc->selected, n.constData(), n.size());
    if (e < 0) return defaultValue;
    doc->cursor = e;
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
    const Document::Span t = doc->store(text.toUtf8());
    doc->cursor = doc->insertAfter(c, group, Kind::Comment, t, Document::Span{});
    doc->modified = true;
}

void PreferenceFile::writeString(const QString& key, const QString& value) {
    if (!doc) return;
    doc->materializePending();
    const QByteArray n = key.toUtf8();
    const QByteArray v = value.toUtf8();
    const int e = doc->findKey(doc->selected, n.constData(), n.size());
    if (e >= 0) {
        // Same folded name: the index entry stays valid.
        const Document::Span ns = doc->store(n);
        const Document::Span vs = doc->store(v);
        doc->entries[e].name = ns;
        doc->entries[e].value = vs;
        doc->cursor = e;
    } else {
        const int g = doc->selected;
        const Document::Span ns = doc->store(n);
        const Document::Span vs = doc->store(v);
        doc->cursor = doc->insertAfter(doc->groups[g].last, g, Kind::Key, ns, vs);
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
