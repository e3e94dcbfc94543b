#pragma once
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

#include "playback/LoudnessGain.h"

// The loudness of every song measured so far, kept in one text file in the
// data folder so that each file is measured once. An entry holds for the file
// as it was: the same path, size and modification time; any change to the
// file makes it unknown again. Not thread-safe: the owner serialises calls.
class LoudnessCache {
public:
    struct Key {
        qint64 size = -1;
        qint64 modifiedMs = 0;
        bool operator==(const Key&) const = default;
    };
    using Logger = std::function<void(const QString&)>;

    explicit LoudnessCache(QString file, Logger log = {});

    // Reads the file. A missing file is an empty cache. A damaged one (a
    // wrong head, a line that does not parse) is logged and not trusted at
    // all: the cache starts empty and the next save replaces the file.
    void load();
    // Writes the whole cache through the atomic writer when it changed
    // since the last save; false (and a log line) when the write failed.
    bool save();

    // The same in three steps, so an owner that guards the cache with a lock
    // need not hold it while the disk writes: take the bytes (nothing when
    // unchanged) under the lock, write them without it, then tell the cache
    // under the lock. An entry stored while the bytes were written keeps
    // the cache changed, so the next save writes it.
    struct Pending {
        QByteArray bytes;
        quint64 version = 0;
    };
    std::optional<Pending> pendingSave() const;
    bool write(const QByteArray& bytes) const;  // touches no entry: safe without the lock
    void saved(quint64 version);

    // The file's key as it is on disk now; size -1 when it cannot be read.
    static Key keyOf(const QString& path);
    std::optional<Loudness> find(const QString& path, const Key& key) const;
    // The value last stored for path, whatever the file is now; looks at no disk.
    std::optional<Loudness> stored(const QString& path) const;
    void store(const QString& path, const Key& key, const Loudness& value);
    int size() const { return int(entries.size()); }
    bool dirty() const { return changed; }

private:
    struct Entry {
        Key key;
        Loudness value;
    };
    QString file;
    Logger log;
    QHash<QString, Entry> entries;
    bool changed = false;
    quint64 version = 0;  // counts the changes, so a save knows what it wrote
};
