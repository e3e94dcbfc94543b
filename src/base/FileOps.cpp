#include "base/FileOps.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "base/PartialCopy.h"

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
int renameOverOwnClaim(const QByteArray& from, const QByteArray& to) {
    struct stat src {};
    if (::lstat(from.constData(), &src) != 0) return errno;
    const int claim = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0) return errno;
    struct stat mine {};
    const bool known = ::fstat(claim, &mine) == 0;
    ::close(claim);
    if (::rename(from.constData(), to.constData()) == 0) return 0;
    const int e = errno;
    struct stat now {};
    if (known && ::lstat(to.constData(), &now) == 0 && now.st_dev == mine.st_dev &&
        now.st_ino == mine.st_ino && now.st_size == 0)
        ::unlink(to.constData());
    return e;
}

// 0 or the errno of the failure. Never replaces to: renameat2 with
// RENAME_NOREPLACE, or link()+unlink() where the kernel or the file system
// lacks it, or a rename over an exclusively created claim where the file
// system has no links either.
int renameNoReplaceRaw(const QByteArray& from, const QByteArray& to) {
    if (::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(),
                  RENAME_NOREPLACE) == 0)
        return 0;
    const int e = errno;
    if (e != ENOSYS && e != EINVAL) return e;
    if (::link(from.constData(), to.constData()) != 0) {
        const int le = errno;
        return linksUnsupported(le) ? renameOverOwnClaim(from, to) : le;
    }
    if (::unlink(from.constData()) != 0) {
        const int e2 = errno;
        ::unlink(to.constData());  // both names were the same file: undo
        return e2;
    }
    return 0;
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

// Copies the regular file from into the new file tmp (created exclusively),
// flushes it and checks its size. False leaves no tmp behind.
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
    const QByteArray tmp = native(partialCopyName(to));
    if (!copyInto(native(from), tmp)) return false;
    if (::rename(tmp.constData(), native(to).constData()) != 0) {
        ::unlink(tmp.constData());
        return false;
    }
    syncFolder(folderOf(to));
    return true;
}

bool FileOps::removeFile(const QString& path) {
    struct stat st {};
    const QByteArray p = native(path);
    if (::lstat(p.constData(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(p.constData()) == 0;
}

bool FileOps::renameNoReplace(const QString& from, const QString& to) {
    if (renameNoReplaceRaw(native(from), native(to)) != 0) return false;
    syncFolder(folderOf(to));
    syncFolder(folderOf(from));
    return true;
}

bool FileOps::moveFile(const QString& from, const QString& to) {
    const QByteArray src = native(from), dst = native(to);
    const int e = renameNoReplaceRaw(src, dst);
    if (e == 0) {
        syncFolder(folderOf(to));
        syncFolder(folderOf(from));
        return true;
    }
    if (e != EXDEV) return false;
    // Across file systems: the finished copy appears under its name before
    // the source goes, so the file is always at from, at to, or at both.
    const QByteArray tmp = native(partialCopyName(to));
    if (!copyInto(src, tmp)) return false;
    if (renameNoReplaceRaw(tmp, dst) != 0) {
        ::unlink(tmp.constData());
        return false;
    }
    syncFolder(folderOf(to));
    if (::unlink(src.constData()) != 0) {
        ::unlink(dst.constData());  // the source stays: undo the copy
        syncFolder(folderOf(to));
        return false;
    }
    syncFolder(folderOf(from));
    return true;
}

bool FileOps::isFile(const QString& path) { return QFileInfo(path).isFile(); }
