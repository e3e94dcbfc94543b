#include <QFile>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QStringView>
#include <algorithm>
#include <climits>
#include <memory>
#include <sys/stat.h>

#include "library/FolderScan.h"

#include "base/DiskWait.h"
#include "base/RandomSource.h"
#include "base/ScanProgress.h"
#include "library/FolderWalk.h"
#include "library/SongLibrary.h"
#include "library/SongPattern.h"

// State of one reconciliation: the duplicate index over SongList and the
// folders already walked (a folder met again through a link is skipped, so
// every walk ends).
struct ScanContext {
    const SongList* list = nullptr;  // indexed on the first song file met
    QHash<QStringView, int> index;  // filePath -> position in SongList
    WalkedFolders walked;
    QSet<int32_t> keys;  // every randomKey of SongList, gathered on the first new song
    bool keysGathered = false;

    explicit ScanContext(const SongList& songs) : list(&songs) {}
    // The player's own trash is never walked: trashed songs would come back
    // into the list and could be trashed a second time, into themselves.
    // A trash that does not answer is left out by the start-up check.
    void leaveOut(const QString& folder) {
        struct stat st;
        if (folder.isEmpty() || isStalled(folder)) return;
        if (::stat(QFile::encodeName(folder).constData(), &st) == 0) walked.insert({st.st_dev, st.st_ino});
    }
    void build() {
        if (!list) return;
        index.reserve(list->size() + list->size() / 4 + 16);
        const QVector<SongEntry>& raw = list->raw();
        // Backwards, so that of equal paths the first one's position stays
        // (insert replaces): the scan refreshes the first twin.
        for (int i = int(raw.size()) - 1; i >= 0; --i) index.insert(QStringView(raw[i].filePath), i);
        list = nullptr;
    }
};

namespace {

constexpr int KeepShowingMs = 1000;
const QString kLogSilent = QStringLiteral("_ListePfadeScannen: Verzeichnis antwortet nicht, übersprungen: ");

// Walks one list folder on a thread of its own and enters what it found
// into songList once the walk has ended.
void walkFolder(const ScanNeeds& needs, ScanContext& scan, SongList& songList, const QString& directory) {
    auto walk = std::make_shared<FolderWalk>(needs.patternText, scan.walked);
    auto call = startDiskCall(directory, [walk, directory](DiskCall& c) { walk->run(directory, c); });
    // What the walk delivers is entered only once it has ended: a folder
    // given up half-way counts as not found at all.
    QVector<WalkItem> met;
    QString shown = directory;  // where the walk is, as far as we know
    QElapsedTimer sinceNews;
    sinceNews.start();
    auto show = [&] {
        QVector<WalkItem> items = walk->take();
        if (items.isEmpty() && sinceNews.elapsed() >= KeepShowingMs) {
            // The walk waits on the disk: the window goes on being drawn,
            // naming the folder it waits in.
            needs.progress.setDirectory(shown);
            sinceNews.start();
        }
        for (const WalkItem& item : items) {
            if (item.kind == WalkItem::Folder) {
                shown = item.text;
                needs.progress.setDirectory(item.text);
            } else if (item.kind == WalkItem::Song) {
                needs.progress.setFile(item.text.mid(item.nameAt));
            }
        }
        if (!items.isEmpty()) sinceNews.start();
        if (met.isEmpty()) met = std::move(items);
        else met.append(std::move(items));
    };
    if (!call || !waitDiskCall(*call, diskWaitMs(), show)) {
        needs.log(kLogSilent + directory);
        return;
    }
    show();
    scan.walked = walk->walkedFolders();
    for (WalkItem& item : met) {
        if (item.kind == WalkItem::Log) {
            needs.log(item.text);
        } else if (item.kind == WalkItem::Song) {
            scan.build();
            auto it = scan.index.constFind(QStringView(item.text));
            if (it != scan.index.constEnd()) {
                songList.at(it.value()).presence = item.presence;
            } else {
                if (!scan.keysGathered) {
                    scan.keys.reserve(songList.size() + 64);
                    for (const SongEntry& e : songList.raw()) scan.keys.insert(e.randomKey);
                    scan.keysGathered = true;
                }
                const int32_t key = dealKey(needs.random, scan.keys);
                SongEntry* added = songList.append(SongEntry{std::move(item.text), key, item.presence});
                scan.index.insert(QStringView(added->filePath), songList.size() - 1);
            }
        }
    }
}

// Walks one folder with the reconciliation's context.
void scanWith(ScanContext& scan, SongList& songs, const QString& directory, const ScanNeeds& needs) {
    // Names are joined to the directory as they are: make sure it ends with
    // the separator (a hand-edited list may lack it).
    QString base = directory;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    if (!needs.trashFolder.isEmpty() && base.startsWith(needs.trashFolder)) {
        needs.log(QStringLiteral("_ListePfadeScannen: der Papierkorb wird nicht durchsucht: ") + base);
    } else {
        walkFolder(needs, scan, songs, base);
    }
}

}  // namespace

void scanFolder(SongList& songs, const QString& directory, const ScanNeeds& needs) {
    ScanContext scan(songs);
    scan.leaveOut(needs.trashFolder);
    scanWith(scan, songs, directory, needs);
}

void reconcileSongs(const PathList& paths, SongList& songs, const ScanNeeds& needs) {
    for (SongEntry& e : songs.raw())
        e.presence = e.presence > 0 ? -1 : (e.presence == INT32_MIN ? INT32_MIN : e.presence - 1);

    ScanContext scan(songs);
    scan.leaveOut(needs.trashFolder);
    for (const QString& directory : paths.raw()) scanWith(scan, songs, directory, needs);

    const SongPattern pattern(needs.patternText);
    QVector<SongEntry>& raw = songs.raw();
    auto gone = std::remove_if(raw.begin(), raw.end(), [&](const SongEntry& e) {
        return e.presence <= -30 || !pattern.takes(extensionOf(e.filePath));
    });
    raw.erase(gone, raw.end());
    songs.reset();
}

QString songPatternText(const QString& modulePatterns, const QString& mediaPatterns) {
    return modulePatterns + QLatin1Char(';') + mediaPatterns;
}

QString fileExtension(const QString& path) { return extensionOf(path).toString(); }

bool matchesSongPattern(const QString& path, const QString& patternText) {
    return SongPattern(patternText).takes(extensionOf(path));
}

int32_t presenceOfSize(qint64 size) {
    if (size >= qint64(INT32_MAX)) return INT32_MAX;
    return size < 0 ? 0 : int32_t(size);
}

QString firstSilentFolder(const PathList& paths) {
    for (const QString& folder : paths.raw())
        if (isStalled(folder)) return folder;
    return {};
}
