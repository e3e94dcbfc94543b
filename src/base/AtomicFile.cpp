#include "base/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

QByteArray folderOf(const QByteArray& name) {
    const int slash = name.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

// Six characters as mkstemp gives them.
QByteArray randomSuffix() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray out(6, Qt::Uninitialized);
    for (char& c : out) c = letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return out;
}

}  // namespace

AtomicFile::AtomicFile(const QString& path) : target(path) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::fail(const char* step, int errnum) {
    error = QString::fromLatin1(step) + QStringLiteral(": ") + systemText(errnum);
    discard();
    return false;
}

bool AtomicFile::open() {
    discard();
    error.clear();
    finalName = QFile::encodeName(target);
    // A link stays a link: the file it names is the one replaced.
    struct stat st {};
    if (::lstat(finalName.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(finalName.constData(), nullptr);
        if (real) {
            finalName = QByteArray(real);
            std::free(real);
        }
    }
    const bool exists = ::stat(finalName.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return fail("open", EISDIR);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = finalName + '.' + randomSuffix();
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) break;
        if (errno != EEXIST) {
            const int e = errno;
            tempName.clear();
            return fail("open", e);
        }
    }
    if (fd < 0) {
        tempName.clear();
        return fail("open", EEXIST);
    }
    if (exists) (void)::fchmod(fd, st.st_mode & 07777);
    return true;
}

bool AtomicFile::commit(const QByteArray& bytes) {
    if (fd < 0) {
        if (error.isEmpty()) error = QStringLiteral("commit: ") + systemText(EBADF);
        return false;
    }
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, data, size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
        if (w < 0) {
            if (errno == EINTR) continue;
            return fail("write", errno);
        }
        if (w == 0) return fail("write", ENOSPC);
        data += w;
        left -= w;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail("fstat", errno);
    if (st.st_size != off_t(bytes.size())) return fail("size", EIO);
    if (::fsync(fd) != 0) return fail("fsync", errno);
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) return fail("close", errno);
    if (::rename(tempName.constData(), finalName.constData()) != 0) return fail("rename", errno);
    tempName.clear();
    // The rename itself reaches the disk with the folder; a failure here
    // leaves a complete file under one of the two names.
    const int dir = ::open(folderOf(finalName).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void AtomicFile::discard() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (!tempName.isEmpty()) {
        ::unlink(tempName.constData());
        tempName.clear();
    }
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    AtomicFile file(path);
    const bool ok = file.open() && file.commit(bytes);
    if (!ok && error) *error = file.errorString();
    return ok;
}
