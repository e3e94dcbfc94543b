#include "base/MountPoints.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statPath(const QString& path, struct stat& st) {
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

QString parentOf(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) return folder == QLatin1String("/") ? QString() : QStringLiteral("/");
    return folder.left(slash);
}

// fstab escapes blanks in paths as octal ("\040").
QString unescapeFstab(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool ok = false;
        const int v = field[i] == '\\' && i + 3 < field.size() ? field.mid(i + 1, 3).toInt(&ok, 8) : 0;
        if (ok) {
            out.append(char(v));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QFile::decodeName(out);
}

// Desktops mount sticks on /media/<user>/<label>, /run/media/<user>/<label>
// or /media/<name>; such a folder that is empty now is a stale mount point.
bool isDesktopMountPlace(const QString& folder) {
    const QString parent = parentOf(folder);
    const QString grand = parentOf(parent);
    const bool place = grand == QLatin1String("/media") || grand == QLatin1String("/run/media") ||
                       parent == QLatin1String("/media");
    return place && QDir(folder).isEmpty();
}

}  // namespace

QString fileSystemTop(const QString& folder) {
    struct stat st {};
    if (folder.isEmpty() || !statPath(folder, st)) return {};
    QString top = folder;
    for (QString up = parentOf(top); !up.isEmpty(); up = parentOf(top)) {
        struct stat above {};
        if (!statPath(up, above) || above.st_dev != st.st_dev) break;
        top = up;
    }
    return top;
}

bool isUnmountedMountPoint(const QString& folder, const QString& top, const QStringList& mountPoints) {
    for (QString f = folder; !f.isEmpty() && f != top && f != QLatin1String("/"); f = parentOf(f)) {
        if (mountPoints.contains(f)) return true;
        if (isDesktopMountPlace(f)) return true;
    }
    return false;
}

QStringList fstabMountPoints() {
    QStringList points;
    QFile f(QStringLiteral("/etc/fstab"));
    if (!f.open(QIODevice::ReadOnly)) return points;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || !fields[1].startsWith('/')) continue;
        QString point = unescapeFstab(fields[1]);
        while (point.size() > 1 && point.endsWith(QLatin1Char('/'))) point.chop(1);
        if (point != QLatin1String("/")) points << point;
    }
    return points;
}

bool folderWritable(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}
