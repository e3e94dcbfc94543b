#pragma once
#include <QByteArray>
#include <QString>

// Where the desktop finds a song's cover. UI thread; touches the disk.
namespace CoverArt {

// At most this many cover files stay in the cache folder; the least
// recently used go first.
constexpr int CacheKeep = 32;

// The embedded image (a JPEG or PNG, already checked) as a file in
// cacheFolder named by its SHA-1 ("cover-<hex>.jpg"), written once
// atomically and, when it is there already, only marked as used; older
// covers beyond CacheKeep are removed. Empty when it cannot be written.
QString cachedImage(const QByteArray& image, const QString& cacheFolder);
// cover, folder or front with .jpg, .jpeg or .png (any letter case) in the
// song's folder, in that order; empty when there is none.
QString besideSong(const QString& songPath);
// The cache folder of this user: $XDG_CACHE_HOME/Kalvo2/ (ends with "/").
QString cacheFolder();

}  // namespace CoverArt
