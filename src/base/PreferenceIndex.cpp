#include "base/PreferenceIndex.h"

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

void NameIndex::grow(size_t minSize) {
    std::vector<Slot> old;
    old.swap(table);
    size_t size = old.empty() ? 64 : old.size() * 2;
    while (size < minSize) size *= 2;
    table.assign(size, Slot{});
    const size_t mask = size - 1;
    for (const Slot& v : old) {
        if (v.idx < 0) continue;
        size_t i = v.tag & mask;
        while (table[i].idx >= 0) i = (i + 1) & mask;
        table[i] = v;
    }
}
