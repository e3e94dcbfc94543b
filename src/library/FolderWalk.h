#pragma once
// The file-system side of a scan: walks one folder tree and hands what it
// meets to the thread that waits for it, which enters the songs into
// SongList. Runs on a thread of its own (see base/DiskWait.h), so a folder
// that stops answering holds only this walk.
#include <QString>
#include <QVector>
#include <mutex>
#include <set>
#include <sys/types.h>
#include <utility>

#include "library/SongPattern.h"

class DiskCall;

// One thing the walk met, in walk order.
struct WalkItem {
    enum Kind : uint8_t { Folder, Song, Log };
    Kind kind;
    int32_t presence = 0;  // Song: the file's presence
    qsizetype nameAt = 0;  // Song: where the file name starts in text
    QString text;          // Folder: its path; Song: the full path; Log: the line
};

using WalkedFolders = std::set<std::pair<dev_t, ino_t>>;

// Shared between the walking thread and the waiting one.
class FolderWalk {
public:
    // walked: folders already walked by this scan (and the trash), skipped.
    FolderWalk(const QString& pattern, WalkedFolders walked) : pattern(pattern), walked(std::move(walked)) {}

    // The walking thread: walks folder (ending with "/") and everything below
    // it. Stops early when call is abandoned.
    void run(const QString& folder, DiskCall& call);

    // The waiting thread: takes what the walk met since the last take.
    QVector<WalkItem> take();
    // After run has returned: the folders walked, for the next walk.
    WalkedFolders walkedFolders() const { return walked; }

private:
    void walk(const QString& directory, int parentFd, const char* name, DiskCall& call);
    void put(WalkItem&& item);

    SongPattern pattern;
    WalkedFolders walked;
    std::mutex mutex;
    QVector<WalkItem> items;  // guarded by mutex
};
