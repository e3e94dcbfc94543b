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
    QString pattern;       // lower case
    QByteArray patternUtf8;
    // Verdicts of the pattern test for the last few lower-case ASCII
    // extensions met (a tree holds few different ones).
    struct Verdict {
        char ext[16];
        uint8_t len;
        bool match;
    };
    Verdict verdicts[8];
    int verdictCount = 0;

    void setPattern(QString lower) {
        if (lower == pattern) return;
        pattern = std::move(lower);
        patternUtf8 = pattern.toUtf8();
        verdictCount = 0;
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
        for (int i = 0; i < raw.size(); ++i)
            index.insert(QStringView(raw[i].filePath), i);  // keeps the first of equal paths
        list = nullptr;
    }
};

namespace {

const QString kLogCannotScan = QStringLiteral("_ListePfadeScannen: kann Verzeichnis nicht untersuchen: ");
const QString kLogBadName =
    QStringLiteral("_ListePfadeScannen: Name kann nicht in der Liste stehen, übersprungen: ");

// Whether the extension ext (no dot) occurs in the lower-case UTF-8 pattern;
// ASCII extensions are folded here, others go through the general test.
bool asciiExtensionIn(std::string_view ext, std::string_view patternUtf8, bool& decided) {
    char buf[64];
    decided = false;
    if (ext.size() >= sizeof buf) return false;
    for (size_t i = 0; i < ext.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(ext[i]);
        if (ch >= 0x80) return false;
        buf[i] = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : char(ch);
    }
    decided = true;
    return patternUtf8.find(std::string_view(buf, ext.size())) != std::string_view::npos;
}

// The extension of a raw file name: bytes after the last ".".
std::string_view rawExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (!dot || !dot[1]) return {};
    return std::string_view(dot + 1);
}

bool rawMatches(const char* name, ScanContext& c) {
    std::string_view ext = rawExtension(name);
    if (ext.empty()) return false;
    // "\" is an ordinary name character here, but the extension rule stops
    // at it: leave such names to the general test.
    if (ext.find('\\') != std::string_view::npos) {
        return matchesSongPattern(QString::fromUtf8(name), c.pattern);
    }
    // Verdicts are kept for short extensions that match exactly (case
    // included): the test folds case, so a differently cased one is asked anew.
    if (ext.size() < sizeof(ScanContext::Verdict::ext)) {
        for (int i = 0; i < c.verdictCount; ++i) {
            const ScanContext::Verdict& v = c.verdicts[i];
            if (v.len == ext.size() && std::memcmp(v.ext, ext.data(), ext.size()) == 0) return v.match;
        }
    }
    bool decided;
    const bool found =
        asciiExtensionIn(ext, std::string_view(c.patternUtf8.constData(), size_t(c.patternUtf8.size())), decided);
    if (!decided) return matchesSongPattern(QString::fromUtf8(name), c.pattern);
    if (ext.size() < sizeof(ScanContext::Verdict::ext)) {
        ScanContext::Verdict& v = c.verdicts[c.verdictCount < 8 ? c.verdictCount++ : 7];
        std::memcpy(v.ext, ext.data(), ext.size());
        v.len = uint8_t(ext.size());
        v.match = found;
    }
    return found;
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

QStringView extensionView(const QString& path) {
    const char16_t* p = reinterpret_cast<const char16_t*>(path.constData());
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (p[i] == u'.') return QStringView(path).mid(i + 1);
        if (p[i] == u'/' || p[i] == u'\\') break;
    }
    return {};
}

}  // namespace

QString songPatternText(const QString& modulePatterns, const QString& mediaPatterns) {
    return modulePatterns + QLatin1Char(';') + mediaPatterns;
}

QString fileExtension(const QString& path) { return extensionView(path).toString(); }

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
        own = std::make_unique<ScanContext>(songList);
        own->leaveOut(k.shell.TrashFolder);
        scan = own.get();
    }
    scan->setPattern(songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern).toLower());
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
            if (!rawMatches(n, *scan)) continue;
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
    const QByteArray lowerUtf8 = pattern.toLower().toUtf8();
    const std::string_view lower(lowerUtf8.constData(), size_t(lowerUtf8.size()));
    QVector<SongEntry>& raw = songList.raw();
    // The verdict for the extension of the entry before, the usual case in a
    // sorted or freshly scanned list.
    char lastExt[16];
    qsizetype lastLen = -1;
    bool lastGone = false;
    auto gone = std::remove_if(raw.begin(), raw.end(), [&](const SongEntry& e) {
        if (e.presence <= -30) return true;
        const QStringView ext = extensionView(e.filePath);
        if (ext.isEmpty()) return true;
        char buf[64];
        bool ascii = ext.size() < qsizetype(sizeof buf);
        for (qsizetype i = 0; ascii && i < ext.size(); ++i) {
            const char16_t ch = ext[i].unicode();
            if (ch >= 0x80) ascii = false;
            else buf[i] = char(ch);
        }
        if (!ascii) return !pattern.contains(ext, Qt::CaseInsensitive);
        if (ext.size() == lastLen && std::memcmp(buf, lastExt, size_t(lastLen)) == 0) return lastGone;
        bool decided;
        const bool isGone = !asciiExtensionIn(std::string_view(buf, size_t(ext.size())), lower, decided);
        if (ext.size() <= qsizetype(sizeof lastExt)) {
            std::memcpy(lastExt, buf, size_t(ext.size()));
            lastLen = ext.size();
            lastGone = isGone;
        }
        return isGone;
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
