#include <QFile>
#include <algorithm>
#include <utility>
#include <sys/stat.h>

#include "base/MainView.h"
#include "library/SongLibrary.h"
#include "library/SongPattern.h"
#include "shell/Kalvo.h"

namespace {

// Whether a walk of the list's directories meets path: it lies below one of
// them and not in the player's trash, which no walk enters.
bool belowListDirectory(const QString& path, const PathList& paths, const QString& trashFolder) {
    if (!trashFolder.isEmpty() && path.startsWith(trashFolder)) return false;
    for (const QString& d : paths.raw()) {
        if (d.isEmpty()) continue;
        const QString base = d.endsWith(QLatin1Char('/')) ? d : d + QLatin1Char('/');
        if (path.startsWith(base)) return true;
    }
    return false;
}

}  // namespace

int SongLibrary::ReenterSong(const QString& filePath, int32_t randomKey) {
    const SongPattern pattern(songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern));
    if (!pattern.takes(extensionOf(filePath))) return -1;  // the purge would drop it

    // What a scan finds there: a regular file's size, or nothing.
    bool found = false;
    int32_t size = 0;
    struct stat st {};
    if (belowListDirectory(filePath, pathList, k.shell.TrashFolder) &&
        ::stat(QFile::encodeName(filePath).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        found = true;
        size = presenceOfSize(qint64(st.st_size));
    }

    QVector<SongEntry>& raw = songList.raw();
    const bool random = k.s.view.zufallBox();
    k.settings.ZufallAbspielen = random ? 1 : 0;
    auto byKey = [](const SongEntry& a, const SongEntry& b) { return a.randomKey < b.randomKey; };
    auto byPath = [](const SongEntry& a, const SongEntry& b) { return pathLess(a.filePath, b.filePath); };
    SongEntry entry{filePath, randomKey, found ? size : -1};

    // An entry of that path is refreshed as the scan refreshes the first one
    // it meets: its key stays; a miss ages it one step. In path order it can
    // only stand among the entries that compare equal to the path.
    const QVector<SongEntry>& list = std::as_const(raw);
    qsizetype from = 0, to = list.size();
    if (!random) {
        const auto range = std::equal_range(list.begin(), list.end(), entry, byPath);
        from = range.first - list.begin();
        to = range.second - list.begin();
    }
    for (qsizetype i = from; i < to; ++i) {
        if (list[i].filePath != filePath) continue;
        SongEntry& e = raw[i];
        if (found)
            e.presence = size;
        else
            e.presence = e.presence > 0 ? -1 : (e.presence == INT32_MIN ? INT32_MIN : e.presence - 1);
        songList.select(int(i));
        return int(i);
    }

    // A new entry goes where the sort puts it: after every entry that does
    // not sort after it, in the order the "Zufall" box sets. A new entry the
    // scan misses is absent one step, as after a scan.
    const auto at = random ? std::upper_bound(raw.begin(), raw.end(), entry, byKey)
                           : std::upper_bound(raw.begin(), raw.end(), entry, byPath);
    const int index = int(at - raw.begin());
    raw.insert(index, std::move(entry));
    songList.select(index);
    return index;
}
