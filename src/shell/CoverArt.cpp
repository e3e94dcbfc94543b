#include "shell/CoverArt.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#include "base/AtomicFile.h"
#include "playback/SongInfo.h"

namespace CoverArt {

namespace {

void prune(const QDir& dir, const QString& keep) {
    QFileInfoList covers = dir.entryInfoList({QStringLiteral("cover-*.jpg"), QStringLiteral("cover-*.png")},
                                             QDir::Files, QDir::Time);  // newest first
    for (int i = CacheKeep; i < covers.size(); ++i)
        if (covers[i].fileName() != keep) QFile::remove(covers[i].filePath());
}

}  // namespace

QString cacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Kalvo2/");
}

QString cachedImage(const QByteArray& image, const QString& folder) {
    const QString ext = imageExtension(image);
    if (ext.isEmpty() || folder.isEmpty()) return {};
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) return {};
    const QString name = QStringLiteral("cover-") +
                         QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha1).toHex()) + ext;
    const QString path = dir.filePath(name);
    QFile existing(path);
    if (existing.exists() && existing.size() == image.size()) {
        if (existing.open(QIODevice::ReadWrite))
            existing.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
        return path;
    }
    // Checked whole: a full disk leaves no cut picture for the desktop to show.
    if (!writeFileAtomically(path, image)) return {};
    prune(dir, name);
    return path;
}

QString besideSong(const QString& songPath) {
    const QFileInfo song(songPath);
    const QStringList names = song.dir().entryList(QDir::Files | QDir::Readable);
    for (const char* base : {"cover", "folder", "front"})
        for (const char* ext : {".jpg", ".jpeg", ".png"}) {
            const QString wanted = QLatin1String(base) + QLatin1String(ext);
            const auto it = std::find_if(names.begin(), names.end(), [&](const QString& n) {
                return n.compare(wanted, Qt::CaseInsensitive) == 0;
            });
            if (it != names.end()) return song.dir().filePath(*it);
        }
    return {};
}

}  // namespace CoverArt
