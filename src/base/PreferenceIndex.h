#pragma once
// Name look-up for the preference-file document: an open-addressing hash
// table (linear probing) of entry or group numbers, keyed by names that
// compare without regard to the case of A-Z (UTF-8 bytes otherwise exact).
// Internal to the preference-file code.
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// Whether two UTF-8 names are equal with A-Z folded to a-z.
inline bool foldEqual(const char* a, qsizetype na, const char* b, qsizetype nb) {
    if (na != nb) return false;
    for (qsizetype i = 0; i < na; ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return true;
}

// Hash of a name with A-Z folded; names that foldEqual hash alike under the
// same seed.
uint64_t foldHash(const char* s, qsizetype n, uint64_t seed);

// The table holds at most half as many numbers as it has slots, so every
// probe ends at a free slot. Each slot keeps 32 hash bits: they give its
// place when the table grows and reject most other names without touching
// their entries. The table does not know the names; callers pass a test
// that compares the name of a stored number with the one they look for.
class NameIndex {
public:
    // Where a name stands, or where it would go when absent.
    struct Probe {
        int found = -1;    // the stored number, or -1
        size_t slot = 0;   // absent: the free slot for it
        uint32_t tag = 0;
    };

    // Makes room so that the next insert keeps the table at most half full.
    void makeRoomForOne() {
        if ((used + 1) * 2 > table.size()) grow(0);
    }
    // Makes room for count more numbers without further growth.
    void reserveFor(size_t count) {
        const size_t want = (used + count + 1) * 2;
        if (want > table.size()) grow(want);
    }

    // The first number with that hash whose name `same(number)` accepts.
    // Needs a table with a free slot (makeRoomForOne).
    template <typename Same>
    Probe find(uint64_t hash, Same&& same) const {
        Probe p;
        p.tag = tagOf(hash);
        const size_t mask = table.size() - 1;
        for (size_t i = p.tag & mask;; i = (i + 1) & mask) {
            const Slot& s = table[i];
            if (s.idx < 0) {
                p.slot = i;
                return p;
            }
            if (s.tag == p.tag && same(s.idx)) {
                p.found = s.idx;
                return p;
            }
        }
    }
    // Stores number at the free slot a find just reported.
    void insertAt(const Probe& p, int number) {
        table[p.slot] = Slot{number, p.tag};
        ++used;
    }
    bool empty() const { return table.empty(); }

private:
    struct Slot {
        int idx = -1;  // -1: free
        uint32_t tag = 0;
    };
    std::vector<Slot> table;  // a power of two in size, or empty
    size_t used = 0;

    static uint32_t tagOf(uint64_t h) { return uint32_t(h); }
    // Doubles the table (at least to minSize) and re-places every slot by the
    // hash bits it keeps, without touching the names.
    void grow(size_t minSize);
};
