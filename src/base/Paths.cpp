#include "base/Paths.h"

#include <QDir>

QString AddBackslash(const QString& path) {
    const QChar sep = QDir::separator();
    if (path.endsWith(sep)) return path;
    return path + sep;
}

QString filePart(const QString& path) { return path.mid(path.lastIndexOf(QDir::separator()) + 1); }
