#include <QSet>
#include <algorithm>
#include <cstring>

#include "library/SongLibrary.h"
#include "shell/Kalvo.h"
#include "base/MainView.h"
#include "base/RandomSource.h"

int32_t dealKey(RandomSource& random, QSet<int32_t>& taken) {
    // Bounded, so that a broken source cannot hang the scan: after that
    // many twins in a row the key is taken as it is.
    int32_t key = random.nextKey();
    for (int tries = 1; taken.contains(key) && tries < 64; ++tries) key = random.nextKey();
    taken.insert(key);
    return key;
}

bool pathLess(const QString& a, const QString& b) {
    const char16_t* pa = reinterpret_cast<const char16_t*>(a.constData());
    const char16_t* pb = reinterpret_cast<const char16_t*>(b.constData());
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    // Skip the common prefix four code units at a time.
    for (; i + 4 <= n; i += 4) {
        uint64_t wa, wb;
        std::memcpy(&wa, pa + i, 8);
        std::memcpy(&wb, pb + i, 8);
        if (wa != wb) break;
    }
    for (; i < n; ++i) {
        char16_t ca = pa[i], cb = pb[i];
        if (ca == cb) continue;
        if (ca >= u'A' && ca <= u'Z') ca = char16_t(ca + 32);
        if (cb >= u'A' && cb <= u'Z') cb = char16_t(cb + 32);
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

void SongLibrary::LiederSortieren() {
    const bool random = k.s.view.zufallBox();
    k.settings.ZufallAbspielen = random ? 1 : 0;
    QVector<SongEntry>& raw = songList.raw();
    if (raw.isEmpty()) return;
    // std::stable_sort is a merge sort: equal entries keep their order. A list
    // already in order (every rescan) is left as it is.
    auto byKey = [](const SongEntry& a, const SongEntry& b) { return a.randomKey < b.randomKey; };
    auto byPath = [](const SongEntry& a, const SongEntry& b) { return pathLess(a.filePath, b.filePath); };
    if (random) {
        if (!std::is_sorted(raw.cbegin(), raw.cend(), byKey)) std::stable_sort(raw.begin(), raw.end(), byKey);
    } else {
        if (!std::is_sorted(raw.cbegin(), raw.cend(), byPath)) std::stable_sort(raw.begin(), raw.end(), byPath);
    }
}

void SongLibrary::ZufallswerteNeu() {
    if (!k.shell.ShowMessage(QStringLiteral("Zufällige Reihenfolge neu erstellen?"), true)) return;
    QSet<int32_t> dealt;
    dealt.reserve(songList.size());
    for (SongEntry& e : songList.raw()) e.randomKey = dealKey(k.s.random, dealt);
    k.playback.lastSongKey = 0;
    LiederSortieren();
    k.playback.LiedBestimmen(QString());
}
