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
    // Not stored: where the file system of the origin's folder began when
    // the file was deleted in this run (empty for entries read from the
    // index). A restore goes back only onto that same file system.
    QString originTop;
};

// The player's own trash folder "Kalvo-Kübel" and its index. UI thread only.
// The trash keeps at most TrashMax files. A TrashMax below 1 is no valid
// limit: the surplus rule then erases nothing.
// No operation ever loses a song: a file is at its origin, in the trash
// folder, or (after an interrupted or half-failed move) in both.
class Trash {
public:
    explicit Trash(Kalvo& k) : k(k) {}

    QVector<TrashEntry> TrashList;  // oldest first

    // Moves the current song (or, with none loaded, the one that would play
    // next) into the trash, records it, drops it from the song list and, if
    // a song was loaded, starts the next one. Failures: a log line and the
    // error beep; the song stays where it was. Blocks for the move (a copy
    // across file systems) and for 10 ms (+500 ms withSound).
    void DeleteCurrentSong(bool withSound);
    // Start-up: reads the index, adopts unknown files (one message box),
    // drops entries whose file is gone, sorts. Does not write the index.
    void CheckTrashFolder();
    // Rewrites "_Kalvo-Trash.ini" atomically; false when it could not be written.
    bool WriteTrashIndex();

    // Restore dialog logic. PlayFromTrash plays the trashed file of the
    // entry with that key; true when playback started.
    bool PlayFromTrash(int32_t randomKey);
    struct RestoreCounts { int restored = 0; int failed = 0; };
    // Moves the entries with these keys back to their origin (never
    // replacing a file there), re-adds them to the song list, rescans and
    // writes the index. An origin that is relative or holds "." or ".."
    // parts counts as failed (with a log line). Shows nothing; the dialog shows
    // the counts.
    RestoreCounts RestoreSelected(const QList<int32_t>& keys);
    // The text of the counts message.
    static QString restoreMessage(const RestoreCounts& c);

    // Undoes the newest delete of this run that is still in the trash: moves
    // its file back as RestoreSelected does for one file, makes it the resume
    // point of the list (path and random order) and plays it from its start.
    // Only that song is entered again (its key, its size, its place in the
    // order): no scan runs, so no other entry ages.
    // Called again, the delete before that, back to the first of this run;
    // files trashed in earlier runs are left to the restore dialog. Nothing
    // to undo: the asterisk beep only. A failed move: a log line and the
    // error beep; the file stays in the trash and is the next to undo.
    // Returns true when the file is back at its origin. Blocks for the move.
    bool UndoLastDelete();
    // How many deletes of this run could still be undone.
    int undoableCount() const;

    // One row of the restore dialog's list.
    struct Row {
        QString date;    // "dd.mm.yy   hh:ii:ss"
        QString origin;  // empty: origin not recorded
        int32_t randomKey = 0;
    };
    // The rows of TrashList, newest first.
    QVector<Row> rowsNewestFirst() const;
    // deletedAt as "dd.mm.yy   hh:ii:ss" (the seconds are local wall clock).
    static QString dateText(int32_t deletedAt);
    // TrashMax from the dialog's digits field; an empty field reads as 0.
    static int32_t trashMaxFromField(const QString& text);

    // The limit the surplus rule works with: TrashMax; below 1 no limit.
    int effectiveTrashMax() const;
    // The name a file of that source gets in the trash folder: the plain file
    // name, else stem + 1, 2, ... + extension, the first that nothing uses.
    QString freeTrashName(const QString& trashFolder, const QString& source) const;
    // The text shown after the start-up check adopted count files.
    static QString adoptionMessage(int count, const QString& trashFolder, int32_t trashMax);
    static QString indexFileName() { return QStringLiteral("_Kalvo-Trash.ini"); }

private:
    Kalvo& k;
    // Entries this run's deletes recorded, oldest first; entries since
    // restored or dropped by the surplus rule are skipped and pruned.
    QVector<TrashEntry> undoStack;
    void pushUndo(const TrashEntry& entry);
    int indexOfEntry(const TrashEntry& entry) const;
    // Moves TrashList[i] back to its origin (never replacing a file there),
    // adds a song entry after the cursor and removes the trash entry. False
    // when nothing was moved; the entry and the file stay.
    bool restoreEntry(int i);
    // The move of restoreEntry alone: the file back, the trash entry gone;
    // the song list is not touched.
    bool moveBack(int i);
    void applySurplusRule(const QString& keep);
    bool isTrashFile(const QString& path) const;
    // Why the origin of e cannot take the file back now (a log line's text),
    // or empty when the move may be tried.
    QString refuseRestore(const TrashEntry& e) const;
    // Removes the unfinished copies a killed restore left beside origins.
    void removeRestoreLeftovers();
    void sortList();
};
