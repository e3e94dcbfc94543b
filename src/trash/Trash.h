#pragma once
#include <QList>
#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>

#include "base/SafeMove.h"

class Clock;
class FileOps;
class RandomSource;

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
// Knows nothing of songs, lists or playback: those roads are the shell's.
class Trash {
public:
    // What the trash works with; everything named here outlives it.
    struct Needs {
        FileOps& files;
        Clock& clock;
        RandomSource& random;
        const QString& folder;    // ends with the separator; empty: no trash folder
        const int32_t& trashMax;  // the limit as the settings hold it
        std::function<void(const QString&)> log;
    };
    explicit Trash(Needs needs) : n(std::move(needs)) {}

    QVector<TrashEntry> TrashList;  // oldest first

    // The one place of the rule: a limit below 1 is no limit.
    static bool isValidLimit(int32_t trashMax) { return trashMax >= 1; }
    // The limit the surplus rule works with: TrashMax; below 1 no limit.
    int effectiveTrashMax() const;

    // The outcome of moveIn: where the file went and from which file system.
    struct MovedIn {
        MoveResult result = MoveResult::NotMoved;
        QString target;     // the trash path tried
        QString originTop;  // where the source's file system begins
    };
    // Moves source into the trash folder under a free name, never replacing
    // a file. NotMoved (also without a trash folder): a log line. CopyKept:
    // the copy goes again (the source is whole) and a log line says so.
    // Blocks for the move.
    MovedIn moveIn(const QString& source);
    // Records a file moveIn moved: the surplus rule makes room (never
    // erasing that file), the entry is added under randomKey with its
    // origin, the index is written and the delete can be undone.
    void record(const MovedIn& moved, int32_t randomKey, const QString& origin);

    // The entry with that key, or null.
    const TrashEntry* entryWithKey(int32_t randomKey) const;
    // Moves TrashList[i] back to its origin (never replacing a file there)
    // and drops the entry. False when nothing was moved (a log line says
    // why); the entry and the file stay. Does not write the index.
    bool moveBack(int i);

    // Moves the newest delete of this run that is still in the trash back
    // to its origin. Nothing: no such delete. Failed: the file stays (a log
    // line) and is the next to undo. Does not write the index.
    enum class Undo { Nothing, Failed, Done };
    Undo undoNewest(TrashEntry& undone);
    // How many deletes of this run could still be undone.
    int undoableCount() const;

    // Start-up: reads the index, adopts unknown files, drops entries whose
    // file is gone, sorts. Does not write the index. Returns how many files
    // were adopted (the caller tells the user).
    int CheckTrashFolder();
    // Rewrites "_Kalvo-Trash.ini" atomically; false when it could not be written.
    bool WriteTrashIndex();

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
    struct RestoreCounts { int restored = 0; int failed = 0; };
    // The text of the counts message.
    static QString restoreMessage(const RestoreCounts& c);

    // The name a file of that source gets in the trash folder: the plain file
    // name, else stem + 1, 2, ... + extension, the first that nothing uses.
    QString freeTrashName(const QString& trashFolder, const QString& source) const;
    // The text shown after the start-up check adopted count files.
    static QString adoptionMessage(int count, const QString& trashFolder, int32_t trashMax);
    static QString indexFileName() { return QStringLiteral("_Kalvo-Trash.ini"); }

private:
    Needs n;
    // Entries this run's deletes recorded, oldest first; entries since
    // restored or dropped by the surplus rule are skipped and pruned.
    QVector<TrashEntry> undoStack;
    void pushUndo(const TrashEntry& entry);
    int indexOfEntry(const TrashEntry& entry) const;
    void applySurplusRule(const QString& keep);
    bool isTrashFile(const QString& path) const;
    // Why the origin of e cannot take the file back now (a log line's text),
    // or empty when the move may be tried.
    QString refuseRestore(const TrashEntry& e) const;
    // Removes the unfinished copies a killed restore left beside origins.
    void removeRestoreLeftovers();
    void sortList();
};
