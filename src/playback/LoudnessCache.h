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
};
