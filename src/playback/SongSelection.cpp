#include "playback/SongSelection.h"

#include "base/PassEvent.h"
#include "base/Windows.h"
#include "shell/Kalvo.h"

namespace {

// Marks a code unit that only the full mapping lowers correctly: U+0130
// lowers to two units, surrogates come in pairs. U+FFFF joins them so that
// the marker cannot be mistaken for a lowered unit.
constexpr char16_t kFullMapping = 0xFFFF;

inline char16_t lowerUnit(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    if (c == 0x130 || c == kFullMapping || QChar::isSurrogate(c)) return kFullMapping;
    return char16_t(QChar::toLower(char32_t(c)));
}

inline const char16_t* units(const QString& s) { return reinterpret_cast<const char16_t*>(s.utf16()); }

}  // namespace

bool lowerContains(const QString& text, const QString& lowNeedle) {
    const char16_t* h = units(text);
    const char16_t* nd = units(lowNeedle);
    const qsizetype n = text.size();
    const qsizetype m = lowNeedle.size();
    if (m == 0) return true;
    const char16_t first = nd[0];
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = lowerUnit(h[i]);
        if (c == kFullMapping) return text.toLower().contains(lowNeedle);
        if (c != first || i + m > n) continue;
        qsizetype j = 1;
        for (; j < m; ++j) {
            const char16_t d = lowerUnit(h[i + j]);
            if (d == kFullMapping) return text.toLower().contains(lowNeedle);
            if (d != nd[j]) break;
        }
        if (j == m) return true;
    }
    return false;
}

bool equalLowered(const QString& a, const QString& b) {
    // Lowering never shortens a text and maps every unit but the marked
    // ones to exactly one unit, so texts without marked units line up.
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t* pa = units(a);
    const char16_t* pb = units(b);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = lowerUnit(pa[i]);
        const char16_t y = lowerUnit(pb[i]);
        if (x == kFullMapping || y == kFullMapping) return a.toLower() == b.toLower();
        if (x != y) return false;
    }
    return a.size() == b.size();
}

uint32_t loweredHash(const QString& text) {
    // Only the last HashedUnits units of the lowered text count: paths differ
    // mostly in their file names, and a short hash keeps a fill of 100,000
    // rows cheap. Lowering changes no unit's position counted from the end
    // unless a marked unit lies in that tail, so the tail alone decides.
    constexpr qsizetype HashedUnits = 32;
    const qsizetype n = text.size();
    const qsizetype from = n > HashedUnits ? n - HashedUnits : 0;
    const char16_t* p = units(text);
    uint32_t h = 2166136261u;
    for (qsizetype i = from; i < n; ++i) {
        const char16_t c = p[i];
        // For the hash, ASCII folds by one bit: a few more collisions between
        // unlike characters, never a miss between equal ones.
        char16_t f = c < 0x80 ? char16_t(c | 0x20) : lowerUnit(c);
        if (f < 0x80) f |= 0x20;
        if (f == kFullMapping) {
            const QString lowered = text.toLower();
            const qsizetype m = lowered.size();
            const qsizetype start = m > HashedUnits ? m - HashedUnits : 0;
            uint32_t g = 2166136261u;
            for (qsizetype j = start; j < m; ++j) {
                const char16_t d = units(lowered)[j];
                g = (g ^ (d < 0x80 ? char16_t(d | 0x20) : d)) * 16777619u;
            }
            return g;
        }
        h = (h ^ f) * 16777619u;
    }
    return h;
}

void SongSelection::LiedauswahlOeffnen() {
    if (!k.s.windows.openSongSelection()) {
        k.shell.ShowMessage(QStringLiteral("Fehler: Konnte WndSelSong-Fenster nicht öffnen!"));
        return;
    }
    const Settings& s = k.settings;
    // A derived top edge stands for "just below the main window"; the
    // platform knows where that is (frame and menu bar included).
    k.s.windows.placeSongSelection({s.WinXLied, k.shell.songWindowTop(), s.WinXDLied, s.WinYDLied});
    LiedauswahlFuellen(false);
}

void SongSelection::LiedauswahlSchliessen() {
    if (!k.s.windows.songSelectionOpen()) return;
    const WindowRect r = k.s.windows.songSelectionGeometry();
    Settings& s = k.settings;
    // A place the platform keeps to itself is no place: the stored one stays.
    if (r.x != Windows::Unknown && r.y != Windows::Unknown) {
        s.WinXLied = r.x;
        s.WinYLied = r.y;
        s.WinYLiedDerived = false;  // where the user left it
    }
    s.WinXDLied = r.width;
    s.WinYDLied = r.height;
    k.s.windows.closeSongSelection();
    shown = {};
    lookup = {};
    indexed = false;
}

void SongSelection::LiedauswahlFuellen(bool filter) {
    if (!k.s.windows.songSelectionOpen()) return;
    lastFilter = filter;
    const QVector<SongEntry>& list = k.library.songList.raw();
    QVector<QString> rows;
    if (!filter) {
        rows.reserve(list.size());
        for (const SongEntry& e : list)
            if (e.presence > 0) rows.append(e.filePath);
    } else {
        const QString needle = k.s.windows.songSelectionSearchText().toLower();
        if (!needle.isEmpty()) {
            for (const SongEntry& e : list)
                if (e.presence > 0 && lowerContains(e.filePath, needle)) rows.append(e.filePath);
        }
    }
    shown = std::move(rows);
    lookup = {};
    indexed = false;
    k.s.windows.showSongRows(shown);
    LiedauswahlMarkieren();
}

void SongSelection::LiedauswahlMarkieren() {
    if (!k.s.windows.songSelectionOpen()) return;
    k.s.windows.selectSongRow(rowOf(k.playback.offeredSong));
}

void SongSelection::LiedauswahlEreignis(int subType) {
    if (subType != SubDoubleClick) return;
    const int row = k.s.windows.selectedSongRow();
    const QString text = (row >= 0 && row < shown.size()) ? shown[row] : QString();
    bool found = false;
    if (!text.isEmpty()) {
        // Paths are unique in SongList; an absent entry would resume at
        // its successor, a song nobody picked.
        for (const SongEntry& e : k.library.songList.raw()) {
            if (e.presence > 0 && e.filePath == text) {
                if (k.settings.ZufallAbspielen)
                    k.playback.lastSongKey = e.randomKey;
                else
                    k.playback.lastSongPath = e.filePath;
                found = true;
                break;
            }
        }
    }
    k.playback.Spielen(QString());
    if (!text.isEmpty() && !found) LiedauswahlFuellen(lastFilter);
}

namespace {
// Spreads the hash over its low bits, which pick the slot: FNV-1a leaves
// them depending only on the low bits of each unit, and paths that end in
// the same ".mp3" crowd together without this.
inline uint32_t slotHash(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}
}  // namespace

int SongSelection::rowOf(const QString& path) {
    if (shown.isEmpty() || path.isEmpty()) return -1;
    if (!indexed) buildIndex();
    const quint64 mask = quint64(lookup.size() - 1);
    const uint32_t h = slotHash(loweredHash(path));
    for (quint64 pos = h & mask;; pos = (pos + 1) & mask) {
        const quint64 slot = lookup[qsizetype(pos)];
        if (slot == 0) return -1;
        if (uint32_t(slot >> 32) == h) {
            const int row = int(uint32_t(slot) - 1);
            if (equalLowered(shown[row], path)) return row;
        }
    }
}

void SongSelection::buildIndex() {
    qsizetype size = 16;
    while (size < 2 * shown.size()) size *= 2;
    lookup = QVector<quint64>(size, 0);
    const quint64 mask = quint64(size - 1);
    for (qsizetype row = 0; row < shown.size(); ++row) {
        const uint32_t h = slotHash(loweredHash(shown[row]));
        quint64 pos = h & mask;
        while (lookup[qsizetype(pos)] != 0) pos = (pos + 1) & mask;
        lookup[qsizetype(pos)] = (quint64(h) << 32) | quint64(row + 1);
    }
    indexed = true;
}
