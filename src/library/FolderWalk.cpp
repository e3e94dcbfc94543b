#include "library/FolderWalk.h"

#include <QFile>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "base/DiskWait.h"
#include "library/SongLibrary.h"

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

void FolderWalk::run(const QString& folder, DiskCall& call) {
    walk(folder, AT_FDCWD, QFile::encodeName(folder).constData(), call);
}

QVector<WalkItem> FolderWalk::take() {
    std::lock_guard lock(mutex);
    return std::exchange(items, {});
}

void FolderWalk::put(WalkItem&& item) {
    std::lock_guard lock(mutex);
    items.append(std::move(item));
}

void FolderWalk::walk(const QString& directory, int parentFd, const char* name, DiskCall& call) {
    if (call.abandoned()) return;
    int fd = *name ? ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    call.beat();
    if (fd < 0) {
        put({WalkItem::Log, 0, 0, kLogCannotScan + directory});
        return;
    }
    struct stat self;
    if (::fstat(fd, &self) == 0 && !walked.insert({self.st_dev, self.st_ino}).second) {
        ::close(fd);  // reached again through a link: already walked
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        put({WalkItem::Log, 0, 0, kLogCannotScan + directory});
        return;
    }
    put({WalkItem::Folder, 0, 0, directory});

    QString fileName;
    while (struct dirent* e = ::readdir(dir)) {
        call.beat();
        if (call.abandoned()) break;
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
            if (!pattern.takesUtf8(rawExtension(n))) continue;
            if (!decodeStorable(n, fileName)) {
                put({WalkItem::Log, 0, 0, kLogBadName + directory + fileName});
                continue;
            }
            if (!haveStat && ::fstatat(::dirfd(dir), n, &st, 0) != 0) continue;  // vanished
            QString full;
            full.reserve(directory.size() + fileName.size());
            full.append(directory).append(fileName);
            put({WalkItem::Song, presenceOfSize(qint64(st.st_size)), directory.size(), std::move(full)});
        } else if (isDir) {
            QString sub;
            if (!decodeStorable(n, sub)) {
                put({WalkItem::Log, 0, 0, kLogBadName + directory + sub});
                continue;
            }
            walk(directory + sub + QLatin1Char('/'), ::dirfd(dir), n, call);
        }
    }
    ::closedir(dir);
}
