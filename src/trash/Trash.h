#pragma once
#include <QList>
#include <QString>
#include <QVector>
#include <cstdint>

class Kalvo;

struct TrashEntry {
    int32_t deletedAt = 0;  // local wall-clock seconds since 1970
    int32_t randomKey = 0;
    QString originPath;     // empty: origin not recorded
    QString trashPath;
};

// The player's own trash folder "Kalvo-Kübel" and its index. UI thread only.
class Trash {
public:
    explicit Trash(Kalvo& k) : k(k) {}

    QVector<TrashEntry> TrashList;  // oldest first

    void DeleteCurrentSong(bool withSound);
    void CheckTrashFolder();
    // Rewrites "_Kalvo-Trash.ini" atomically; false when it could not be written.
    bool WriteTrashIndex();

    // Restore dialog logic. PlayFromTrash plays the trashed file of the
    // entry with that key; true when playback started.
    bool PlayFromTrash(int32_t randomKey);
    struct RestoreCounts { int restored = 0; int failed = 0; };
    // Moves the entries with these keys back to their origin (never
    // replacing a file there), re-adds them to the song list, rescans and
    // writes the index. Shows nothing; the dialog shows the counts.
    RestoreCounts RestoreSelected(const QList<int32_t>& keys);
    // The text of the counts message.
    static QString restoreMessage(const RestoreCounts& c);

private:
    Kalvo& k;
};
