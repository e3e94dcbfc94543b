#include "shell/FileOps.h"

#include <QFile>
#include <QFileInfo>

bool FileOps::copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}
bool FileOps::removeFile(const QString& path) { return QFile::remove(path); }
bool FileOps::renameNoReplace(const QString& from, const QString& to) {
    if (QFileInfo::exists(to)) return false;
    return QFile::rename(from, to);
}
bool FileOps::moveFile(const QString& from, const QString& to) { return renameNoReplace(from, to); }
bool FileOps::isFile(const QString& path) { return QFileInfo(path).isFile(); }
