#include "base/PreferenceDocument.h"

#include <QStringEncoder>


PreferenceFile::Document::Span PreferenceFile::Document::store(QStringView text) {
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

PreferenceFile::Document::Span PreferenceFile::Document::store(const QByteArray& bytes) {
    Span s{qsizetype(arena.size()), bytes.size()};
    arena.append(bytes.constData(), size_t(bytes.size()));
    return s;
}

void PreferenceFile::Document::flushRun() {
    const int g = runGroup;
    runGroup = -1;
    const int end = int(entries.size());
    keys.reserveFor(size_t(end - runFrom));
    for (int e = runFrom; e < end; ++e)
        if (entries[size_t(e)].kind == Kind::Key && entries[size_t(e)].group == g) indexKey(e);
}

void PreferenceFile::Document::indexKey(int e) {
    const Entry& en = entries[size_t(e)];
    NameIndex::Probe where;
    if (findKey(en.group, ptr(en.name), en.name.len, &where) >= 0) return;
    keys.insertAt(where, e);
}

void PreferenceFile::Document::indexGroup(int g) {
    groupIx.makeRoomForOne();
    const Entry& h = entries[size_t(groups[size_t(g)].header)];
    const NameIndex::Probe p = groupIx.find(groupHash(ptr(h.name), h.name.len), [&](int o) {
        const Entry& oh = entries[size_t(groups[size_t(o)].header)];
        return foldEqual(ptr(oh.name), oh.name.len, ptr(h.name), h.name.len);
    });
    if (p.found < 0) groupIx.insertAt(p, g);
}

int PreferenceFile::Document::append(const Entry& proto) {
    const int e = int(entries.size());
    entries.push_back(proto);
    Entry& en = entries.back();
    en.next = -1;
    if (tail < 0) head = e; else entries[size_t(tail)].next = e;
    tail = e;
    if (en.kind == Kind::Header) {
        groups.push_back(Group{e, e});
        en.group = int(groups.size()) - 1;
        indexGroup(en.group);
    } else {
        en.group = int(groups.size()) - 1;
        groups[size_t(en.group)].last = e;
        if (en.kind == Kind::Key) indexKey(e);
    }
    return e;
}

int PreferenceFile::Document::insertAfter(int after, int group, Kind kind, Span name, Span value, const NameIndex::Probe* where,
                          bool inRun) {
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
        en.next = entries[size_t(after)].next;
    }
    entries.push_back(en);
    if (after >= 0) entries[size_t(after)].next = e;
    if (after == tail) tail = e;
    if (tail < 0) tail = e;
    if (groups[size_t(group)].last == after) groups[size_t(group)].last = e;
    if (kind == Kind::Key && !inRun) {
        if (where) keys.insertAt(*where, e);
        else indexKey(e);
    }
    return e;
}

void PreferenceFile::Document::materializePending() {
    if (!pending) return;
    Entry h;
    h.kind = Kind::Header;
    h.name = store(pendingName);
    const int e = append(h);
    selected = entries[size_t(e)].group;
    cursor = e;
    pending = false;
    pendingName.clear();
}

int atoiBytes(const char* p, const char* end) {
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
    uint32_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') v = v * 10u + uint32_t(*p++ - '0');
    if (negative) v = 0u - v;
    return int(int32_t(v));
}
