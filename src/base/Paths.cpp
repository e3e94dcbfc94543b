#include "base/Paths.h"

#include <QDir>

QString AddBackslash(const QString& path) {
    const QChar sep = QDir::separator();
    if (path.endsWith(sep)) return path;
    return path + sep;
}

QString filePart(const QString& path) {
    const qsizetype cut = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}
