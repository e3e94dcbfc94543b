#include <QFile>
#include <QHash>
#include <QStringView>
#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "library/SongLibrary.h"
#include "shell/Clock.h"
#include "shell/Kalvo.h"
#include "shell/RandomSource.h"
#include "shell/ScanProgress.h"

// State of one reconciliation: the duplicate index over SongList and the
// directories already walked (a directory met again through a link is
// skipped, so every walk ends).
struct ScanContext {
    QHash<QStringView, int> index;  // filePath -> position in SongList
    std::set<std::pair<dev_t, ino_t>> walked;
    QString pattern;       // lower case
    QByteArray patternUtf8;

    void build(const SongList& list) {
        index.reserve(list.size() + list.size() / 4 + 16);
        const QVector<SongEntry>& raw = list.raw();
        for (int i = 0; i < raw.size(); ++i)
            index.insert(QStringView(raw[i].filePath), i);  // keeps the first of equal paths
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

bool rawMatches(const char* name, const ScanContext& c) {
    std::string_view ext = rawExtension(name);
    if (ext.empty()) return false;
    // "\" is an ordinary name character here, but the extension rule stops
    // at it: leave such names to the general test.
    if (ext.find('\\') != std::string_view::npos) {
        QString q = QFile::decodeName(name);
        return matchesSongPattern(q, c.pattern);
    }
    char buf[64];
    bool ascii = ext.size() < sizeof buf;
    for (size_t i = 0; ascii && i < ext.size(); ++i) {
        unsigned char ch = static_cast<unsigned char>(ext[i]);
        if (ch >= 0x80) ascii = false;
        else buf[i] = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : char(ch);
    }
    if (!ascii) return matchesSongPattern(QFile::decodeName(name), c.pattern);
    std::string_view hay(c.patternUtf8.constData(), size_t(c.patternUtf8.size()));
    return hay.find(std::string_view(buf, ext.size())) != std::string_view::npos;
}

// Decodes a name; false when it does not round-trip or holds a character
// that the list and index formats cannot carry.
bool decodeStorable(const char* name, QString& out) {
    out = QFile::decodeName(name);
    bool plain = true;
    for (const char* p = name; *p; ++p) {
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch == '|' || ch == '\r' || ch == '\n') return false;
        if (ch >= 0x80) plain = false;
    }
    return plain || QFile::encodeName(out) == QByteArray(name);
}

}  // namespace

QString songPatternText(const QString& modulePatterns, const QString& mediaPatterns) {
    return modulePatterns + QLatin1Char(';') + mediaPatterns;
}

QString fileExtension(const QString& path) {
    qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return {};
    qsizetype sep = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (dot < sep) return {};
    return path.mid(dot + 1);
}

bool matchesSongPattern(const QString& path, const QString& patternText) {
    const QString ext = fileExtension(path);
    return !ext.isEmpty() && patternText.contains(ext, Qt::CaseInsensitive);
}

int32_t presenceOfSize(qint64 size) {
    if (size >= qint64(INT32_MAX)) return INT32_MAX;
    return size < 0 ? 0 : int32_t(size);
}

void SongLibrary::ListePfadeScannen(const QString& directory) {
    std::unique_ptr<ScanContext> own;
    if (!scan) {
        own = std::make_unique<ScanContext>();
        own->build(songList);
        scan = own.get();
    }
    scan->pattern = songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern).toLower();
    scan->patternUtf8 = scan->pattern.toUtf8();
    walkDirectory(directory, AT_FDCWD, QFile::encodeName(directory).constData());
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
            if (!rawMatches(n, *scan)) continue;
            if (!decodeStorable(n, fileName)) {
                k.shell.LogLine(kLogBadName + directory + fileName);
                continue;
            }
            if (!haveStat && ::fstatat(::dirfd(dir), n, &st, 0) != 0) continue;  // vanished
            const int32_t presence = presenceOfSize(qint64(st.st_size));
            QString full = directory + fileName;
            k.s.progress.setFile(fileName);
            auto it = scan->index.constFind(QStringView(full));
            if (it != scan->index.constEnd()) {
                songList.at(it.value()).presence = presence;
            } else {
                SongEntry* added = songList.append(SongEntry{std::move(full), k.s.random.nextKey(), presence});
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
    const QString pattern =
        songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern).toUpper();
    QVector<SongEntry>& raw = songList.raw();
    auto gone = std::remove_if(raw.begin(), raw.end(), [&](const SongEntry& e) {
        return !matchesSongPattern(e.filePath, pattern) || e.presence <= -30;
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

    ScanContext context;
    context.build(songList);
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
