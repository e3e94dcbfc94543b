#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringView>
#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <fcntl.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "library/SongLibrary.h"
#include "library/SongPattern.h"
#include "base/Clock.h"
#include "shell/Kalvo.h"
#include "base/RandomSource.h"
#include "base/ScanProgress.h"

// State of one reconciliation: the duplicate index over SongList and the
// directories already walked (a directory met again through a link is
// skipped, so every walk ends).
struct ScanContext {
    const SongList* list = nullptr;  // indexed on the first song file met
    QHash<QStringView, int> index;  // filePath -> position in SongList
    std::set<std::pair<dev_t, ino_t>> walked;
    std::optional<SongPattern> pattern;
    QSet<int32_t> keys;  // every randomKey of SongList, gathered on the first new song
    bool keysGathered = false;

    // Keeps the pattern (and the verdicts it holds) while the text stays.
    void setPattern(const QString& text) {
        if (!pattern || pattern->text() != text) pattern.emplace(text);
    }

    explicit ScanContext(const SongList& songs) : list(&songs) {}
    // The player's own trash is never walked: trashed songs would come back
    // into the list and could be trashed a second time, into themselves.
    void leaveOut(const QString& folder) {
        struct stat st;
        if (!folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &st) == 0)
            walked.insert({st.st_dev, st.st_ino});
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

const QString kLogCannotScan = QStringLiteral("_ListePfadeScannen: kann Verzeichnis nicht untersuchen: ");
const QString kLogBadName =
    QStringLiteral("_ListePfadeScannen: Name kann nicht in der Liste stehen, übersprungen: ");

// The extension of a raw file name: bytes after the last ".".
std::string_view rawExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (!dot || !dot[1]) return {};
    return std::string_view(dot + 1);
}

// Decodes a name; false when it does not round-trip or holds a character
// that the list and index formats cannot carry.
bool decodeStorable(const char* name, QString& out) {
    bool plain = true;
    const char* p = name;
    for (; *p; ++p) {
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch == '|' || ch == '\r' || ch == '\n') {
            out = QString::fromUtf8(name);
            return false;
        }
        if (ch >= 0x80) plain = false;
    }
    if (plain) {  // ASCII: decoded into the buffer out already holds
        out.resize(0);
        out.append(QLatin1String(name, p - name));
        return true;
    }
    out = QString::fromUtf8(name);  // file names are UTF-8 here
    return out.toUtf8() == QByteArray(name);
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
    scan->setPattern(songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern));
    // Names are joined to the directory as they are: make sure it ends with
    // the separator (a hand-edited list may lack it).
    QString base = directory;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    if (!k.shell.TrashFolder.isEmpty() && base.startsWith(k.shell.TrashFolder)) {
        k.shell.LogLine(QStringLiteral("_ListePfadeScannen: der Papierkorb wird nicht durchsucht: ") + base);
        if (own) scan = nullptr;
        return;
    }
    walkDirectory(base, AT_FDCWD, QFile::encodeName(base).constData());
    if (own) scan = nullptr;
}

void SongLibrary::walkDirectory(const QString& directory, int parentFd, const char* name) {
    int fd = *name ? ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (fd < 0) {
        k.shell.LogLine(kLogCannotScan + directory);
        return;
    }
    struct stat self;
    if (::fstat(fd, &self) == 0 && !scan->walked.insert({self.st_dev, self.st_ino}).second) {
        ::close(fd);  // reached again through a link: already walked
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        k.shell.LogLine(kLogCannotScan + directory);
        return;
    }
    k.s.progress.setDirectory(directory);

    QString fileName;
    while (struct dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        bool isDir = e->d_type == DT_DIR;
        bool isFile = e->d_type == DT_REG;
        struct stat st;
        bool haveStat = false;
        if (!isDir && !isFile) {
            // Links and file systems without types: ask, following links.
            if (::fstatat(::dirfd(dir), n, &st, 0) != 0) continue;  // vanished or dangling
            haveStat = true;
            isDir = S_ISDIR(st.st_mode);
            isFile = S_ISREG(st.st_mode);
        }
        if (isFile) {
            if (!scan->pattern->takesUtf8(rawExtension(n))) continue;
            if (!decodeStorable(n, fileName)) {
                k.shell.LogLine(kLogBadName + directory + fileName);
                continue;
            }
            if (!haveStat && ::fstatat(::dirfd(dir), n, &st, 0) != 0) continue;  // vanished
            const int32_t presence = presenceOfSize(qint64(st.st_size));
            QString full;
            full.reserve(directory.size() + fileName.size());
            full.append(directory).append(fileName);
            k.s.progress.setFile(fileName);
            scan->build();
            auto it = scan->index.constFind(QStringView(full));
            if (it != scan->index.constEnd()) {
                songList.at(it.value()).presence = presence;
            } else {
                if (!scan->keysGathered) {
                    scan->keys.reserve(songList.size() + 64);
                    for (const SongEntry& e : songList.raw()) scan->keys.insert(e.randomKey);
                    scan->keysGathered = true;
                }
                const int32_t key = dealKey(k.s.random, scan->keys);
                SongEntry* added = songList.append(SongEntry{std::move(full), key, presence});
                scan->index.insert(QStringView(added->filePath), songList.size() - 1);
            }
        } else if (isDir) {
            QString sub;
            if (!decodeStorable(n, sub)) {
                k.shell.LogLine(kLogBadName + directory + sub);
                continue;
            }
            walkDirectory(directory + sub + QLatin1Char('/'), ::dirfd(dir), n);
        }
    }
    ::closedir(dir);
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
