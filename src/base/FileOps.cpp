#include "base/FileOps.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QByteArray folderOf(const QString& path) {
    return native(QFileInfo(path).absolutePath());
}

// Makes a rename or unlink in the folder durable; failures are not fatal.
void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A link() failure that means the file system has no hard links (FAT,
// exFAT), not that this rename is wrong.
bool linksUnsupported(int e) { return e == EPERM || e == EOPNOTSUPP || e == ENOSYS || e == EMLINK; }

// For file systems with neither RENAME_NOREPLACE nor hard links: claims to
// with an empty file created exclusively, then renames from over that claim.
// Only our own claim is ever replaced; a failure removes the claim again,
// and only while it is still the file we created.
bool renameOverOwnClaim(const QByteArray& from, const QByteArray& to) {
    struct stat src {};
    if (::lstat(from.constData(), &src) != 0) return false;
    const int claim = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0) return false;
    struct stat mine {};
    const bool known = ::fstat(claim, &mine) == 0;
    ::close(claim);
    if (::rename(from.constData(), to.constData()) == 0) return true;
    struct stat now {};
    if (known && ::lstat(to.constData(), &now) == 0 && now.st_dev == mine.st_dev &&
        now.st_ino == mine.st_ino && now.st_size == 0)
        ::unlink(to.constData());
    return false;
}

bool writeAll(int fd, const char* data, ssize_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, size_t(n));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= w;
    }
    return true;
}

// Copies the regular file from into tmp (created anew, exclusively, after a
// leftover of an earlier, interrupted copy is removed), flushes it and
// checks its size. False leaves no tmp behind.
bool copyInto(const QByteArray& from, const QByteArray& tmp) {
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    ::unlink(tmp.constData());  // a leftover of an earlier, interrupted copy
    const int out = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           st.st_mode & 0777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    off_t copied = 0;
    static thread_local QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t r = ::read(in, buffer.data(), size_t(buffer.size()));
        if (r < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (r == 0) break;
        if (!writeAll(out, buffer.constData(), r)) {
            ok = false;
            break;
        }
        copied += r;
    }
    struct stat done {};
    if (ok) ok = ::fsync(out) == 0;
    if (ok) ok = ::fstat(out, &done) == 0 && done.st_size == st.st_size && copied == st.st_size;
    if (ok) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
    }
    if (::close(out) != 0) ok = false;
    ::close(in);
    if (!ok) ::unlink(tmp.constData());
    return ok;
}

}  // namespace

bool FileOps::copyFile(const QString& from, const QString& to) {
    if (!copyInto(native(from), native(to))) return false;
    syncFolder(folderOf(to));
    return true;
}

bool FileOps::removeFile(const QString& path) {
    struct stat st {};
    const QByteArray p = native(path);
    if (::lstat(p.constData(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(p.constData()) == 0;
}

FileOps::AtomicRename FileOps::renameAtomically(const QString& from, const QString& to) {
    const QByteArray src = native(from), dst = native(to);
    if (::syscall(SYS_renameat2, AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return AtomicRename::Done;
    const int e = errno;
    if (e != ENOSYS && e != EINVAL) return AtomicRename::Refused;
    if (::link(src.constData(), dst.constData()) != 0)
        return linksUnsupported(errno) ? AtomicRename::Unsupported : AtomicRename::Refused;
    if (::unlink(src.constData()) != 0) {
        ::unlink(dst.constData());  // both names were the same file: undo
        return AtomicRename::Refused;
    }
    return AtomicRename::Done;
}

bool FileOps::renameNoReplace(const QString& from, const QString& to) {
    switch (renameAtomically(from, to)) {
    case AtomicRename::Done: break;
    case AtomicRename::Refused: return false;
    case AtomicRename::Unsupported:
        if (!renameOverOwnClaim(native(from), native(to))) return false;
        break;
    }
    syncFolder(folderOf(to));
    syncFolder(folderOf(from));
    return true;
}

bool FileOps::isFile(const QString& path) { return QFileInfo(path).isFile(); }

bool FileOps::nameTaken(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0;
}
