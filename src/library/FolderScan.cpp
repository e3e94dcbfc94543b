#include <QFile>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QStringView>
#include <algorithm>
#include <climits>
#include <memory>
#include <sys/stat.h>

#include "library/SongLibrary.h"
#include "library/SongPattern.h"
#include "base/Clock.h"
#include "shell/Kalvo.h"
#include "base/RandomSource.h"
#include "base/ScanProgress.h"
#include "base/DiskWait.h"
#include "library/FolderWalk.h"

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
void walkFolder(Kalvo& k, ScanContext& scan, SongList& songList, const QString& directory) {
    auto walk = std::make_shared<FolderWalk>(
        songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern), scan.walked);
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
            k.s.progress.setDirectory(shown);
            sinceNews.start();
        }
        for (const WalkItem& item : items) {
            if (item.kind == WalkItem::Folder) {
                shown = item.text;
                k.s.progress.setDirectory(item.text);
            } else if (item.kind == WalkItem::Song) {
                k.s.progress.setFile(item.text.mid(item.nameAt));
            }
        }
        if (!items.isEmpty()) sinceNews.start();
        if (met.isEmpty()) met = std::move(items);
        else met.append(std::move(items));
    };
    if (!call || !waitDiskCall(*call, diskWaitMs(), show)) {
        k.shell.LogLine(kLogSilent + directory);
        return;
    }
    show();
    scan.walked = walk->walkedFolders();
    for (WalkItem& item : met) {
        if (item.kind == WalkItem::Log) {
            k.shell.LogLine(item.text);
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
                const int32_t key = dealKey(k.s.random, scan.keys);
                SongEntry* added = songList.append(SongEntry{std::move(item.text), key, item.presence});
                scan.index.insert(QStringView(added->filePath), songList.size() - 1);
            }
        }
    }
}

}  // namespace

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

void SongLibrary::ListePfadeScannen(const QString& directory) {
    std::unique_ptr<ScanContext> own;
    if (!scan) {
        own = std::make_unique<ScanContext>(songList);
        own->leaveOut(k.shell.TrashFolder);
        scan = own.get();
    }
    // Names are joined to the directory as they are: make sure it ends with
    // the separator (a hand-edited list may lack it).
    QString base = directory;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    if (!k.shell.TrashFolder.isEmpty() && base.startsWith(k.shell.TrashFolder)) {
        k.shell.LogLine(QStringLiteral("_ListePfadeScannen: der Papierkorb wird nicht durchsucht: ") + base);
    } else {
        walkFolder(k, *scan, songList, base);
    }
    if (own) scan = nullptr;
}

void SongLibrary::purge() {
    const SongPattern pattern(songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern));
    QVector<SongEntry>& raw = songList.raw();
    auto gone = std::remove_if(raw.begin(), raw.end(), [&](const SongEntry& e) {
        return e.presence <= -30 || !pattern.takes(extensionOf(e.filePath));
    });
    raw.erase(gone, raw.end());
    songList.reset();
}

void SongLibrary::ListeAbgleichen() {
    if (!k.s.progress.open()) {
        k.shell.ShowMessage(QStringLiteral("Fehler - Kann Fenster WndPfadEru nicht öffnen!"));
        return;
    }
    PassSuspension quiet(k.shell);  // the scan blocks: no pass runs meanwhile
    const uint32_t started = k.s.clock.tickMs();

    for (SongEntry& e : songList.raw())
        e.presence = e.presence > 0 ? -1 : (e.presence == INT32_MIN ? INT32_MIN : e.presence - 1);

    ScanContext context(songList);
    context.leaveOut(k.shell.TrashFolder);
    scan = &context;
    for (const QString& directory : pathList.raw()) ListePfadeScannen(directory);
    scan = nullptr;

    purge();
    LiederSortieren();

    const int32_t elapsed = tickDiff(k.s.clock.tickMs(), started);
    if (elapsed > 3000)
        k.shell.LogLine(QStringLiteral("Pfad eruiren Dauer ca: %1ms - Anzahl Dateien: %2").arg(elapsed).arg(songList.size()));
    k.s.progress.close();
}

void showSilentFolders(Kalvo& k) {
    for (const QString& folder : k.library.pathList.raw()) {
        if (isStalled(folder)) {
            k.shell.ShowSongText(QStringLiteral("Verzeichnis antwortet nicht: ") + folder);
            return;
        }
    }
}
