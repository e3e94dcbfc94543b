#pragma once
// The open document of a PreferenceFile: its entries in document order over
// one UTF-8 text buffer, its groups, the name indexes, and the selection,
// cursor and pending-group state. Internal to the preference-file code:
// PreferenceReader.cpp fills it from a file, PreferenceWriter.cpp changes
// and saves it, PreferenceFile.cpp answers the look-ups.
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/AtomicFile.h"
#include "base/PreferenceFile.h"
#include "base/PreferenceIndex.h"

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

// UTF-8 bytes of the document as text. Unlike QString::fromUtf8, a leading
// U+FEFF is kept: it is part of a name or value, not a byte-order mark.
inline QString utf8Text(const char* s, qsizetype n) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(QByteArrayView(s, n));
}

struct PreferenceFile::Document {
    enum class Kind : uint8_t { Header, Comment, Key };
    struct Span {  // bytes of the arena
        qsizetype off = 0;
        qsizetype len = 0;
    };
    struct Entry {
        Span name;   // group name, key name or comment text
        Span value;  // key value, untrimmed
        int next = -1;  // the following entry in document order, -1 at the end
        int group = 0;
        Kind kind = Kind::Key;
    };
    struct Group {
        int header = -1;  // entry number; -1 for the unnamed group
        int last = -1;    // last entry of the group; -1: the group is empty (unnamed only)
    };

    QString fileName;
    Arena arena;  // UTF-8 text of every name and value
    std::vector<Entry> entries;  // in the order they were made; `next` gives document order
    std::vector<Group> groups{Group{}};  // groups[0] is the unnamed group
    NameIndex keys;     // first key of each (group, folded name)
    NameIndex groupIx;  // first group of each folded name
    int head = -1;  // first entry in document order
    int tail = -1;  // last entry in document order
    int selected = 0;
    bool pending = false;
    QByteArray pendingName;
    int cursor = -1;  // -1: before the first entry
    bool modified = false;
    bool readOnly = false;
    bool created = false;
    std::unique_ptr<AtomicFile> saveFile;  // created documents: its temporary file exists from the start

    // The numbered run. Lists write long runs of keys named 0, 1, 2 ... into
    // a fresh group; the writer appends those without an index look-up and
    // keeps them out of the key index. That is sound while all of these hold:
    //  - the run's keys are plain decimal names of rising value, so no two of
    //    them are equal, even folded;
    //  - the run started in a group without entries, so none of them equals
    //    an older key of the group;
    //  - every key look-up goes through findKey, which enters the run into
    //    the index first (flushRun).
    // A look-up that probes `keys` directly would miss the keys of the run
    // and let a second key of the same name in. runGroup -1: no run.
    int runGroup = -1;
    int runFrom = 0;       // entries runFrom.. of runGroup that are not indexed
    uint64_t runLast = 0;  // the value of the run's last name

    const char* ptr(Span s) const { return arena.data() + s.off; }

    // Appends text to the arena as UTF-8.
    Span store(QStringView text);
    Span store(const QByteArray& bytes);

    // The first key named s (folded) in group, or -1. The one road to a key:
    // it enters the numbered run into the index before it probes. A miss
    // reports in *where the free slot a key of that name would take.
    int findKey(int group, const char* s, qsizetype n, NameIndex::Probe* where = nullptr) {
        if (runGroup >= 0) flushRun();
        keys.makeRoomForOne();
        const NameIndex::Probe p = keys.find(keyHash(group, s, n), [&](int e) {
            const Entry& en = entries[size_t(e)];
            return en.group == group && foldEqual(ptr(en.name), en.name.len, s, n);
        });
        if (where) *where = p;
        return p.found;
    }
    // The first group named s (folded), or -1.
    int findGroup(const char* s, qsizetype n) const {
        if (groupIx.empty()) return -1;
        return groupIx.find(groupHash(s, n), [&](int g) {
            const Entry& h = entries[size_t(groups[size_t(g)].header)];
            return foldEqual(ptr(h.name), h.name.len, s, n);
        }).found;
    }

    // Enters the keys of the numbered run into the index; ends the run.
    void flushRun();
    // Appends an entry at the end of the document (used while reading).
    int append(const Entry& proto);
    // Inserts a comment or key directly after entry `after` (-1: at the
    // start) as a member of `group`. A key enters the index at the free slot
    // `where` that findKey reported, or by its own look-up when where is
    // null; a key of the numbered run is left out (inRun).
    int insertAfter(int after, int group, Kind kind, Span name, Span value, const NameIndex::Probe* where,
                    bool inRun = false);
    // A write while a group is pending first appends that group's header.
    void materializePending();

    // Reading: splits the arena from byte `from` on into entries.
    void parse(qsizetype from);
    // Writing: the whole file text.
    QByteArray serialize() const;

private:
    static uint64_t keyHash(int group, const char* s, qsizetype n) {
        return foldHash(s, n, uint64_t(group) * 0x9E3779B97F4A7C15ULL);
    }
    static uint64_t groupHash(const char* s, qsizetype n) { return foldHash(s, n, 7); }
    // Records key entry e unless its group already holds that name.
    void indexKey(int e);
    // Records group g unless a group of that name is recorded.
    void indexGroup(int g);
};

// atoi over UTF-8 bytes: blanks skipped, optional sign, digits to the first
// other character; wraps modulo 2^32.
int atoiBytes(const char* p, const char* end);
