#include "base/Folders.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimeZone>

namespace {
QString withoutTrailingSeparator(const QString& path) {
    return QDir::cleanPath(path);
}
}  // namespace

QString genericDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool isOldDataFolder(const QString& oldFolder, const QString& newFolder) {
    const QString from = withoutTrailingSeparator(oldFolder);
    if (from == withoutTrailingSeparator(newFolder)) return false;
    return QFileInfo(from).isDir() && QFileInfo(from + QStringLiteral("/Kalvo2.ini")).isFile();
}

bool moveFolder(const QString& from, const QString& to) {
    const QString src = withoutTrailingSeparator(from);
    const QString dst = withoutTrailingSeparator(to);
    if (QFileInfo::exists(dst)) return false;
    const QString parent = QFileInfo(dst).absolutePath();
    if (!QDir().mkpath(parent)) return false;
    return QDir().rename(src, dst);
}

bool logIsStale(const QString& file, qint64 nowLocal) {
    const QFileInfo info(file);
    if (!info.exists()) return false;
    const QDateTime written = info.lastModified().toLocalTime();
    // The local fields read as UTC give local wall-clock seconds.
    const qint64 writtenLocal = QDateTime(written.date(), written.time(), QTimeZone::utc()).toSecsSinceEpoch();
    return nowLocal - writtenLocal > 1728000;
}
