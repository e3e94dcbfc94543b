#pragma once
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

// Looks into folders that may stop answering (a sleeping NAS, a hard NFS
// mount whose server is gone) without letting them hold the caller: the
// file-system calls run on a thread of their own, the caller waits for them
// with a bound. A thread that has not come back is left to the kernel and
// never waited for, also not at exit; while it waits, its folder counts as
// stalled and no further thread is started for that folder or anything
// below it, so repeated looks do not pile up threads.

// How long a folder may stay silent before it is given up, in ms:
// KALVO2_DISK_WAIT_MS when set to a positive number, else 10000 (long
// enough for a NAS waking from sleep).
int diskWaitMs();

// One look at the disk running on its own thread. The work reports
// progress through beat(); it checks abandoned() to stop early once the
// caller has given it up. Shared between the caller and the thread.
class DiskCall {
public:
    void beat() { beats.fetch_add(1, std::memory_order_relaxed); }
    bool abandoned() const { return gaveUp.load(std::memory_order_relaxed); }
    // Names what the work looks at next, when that is deeper than the
    // folder it was started for: given up, that path counts as stalled.
    void lookingAt(const QString& path);

private:
    friend std::shared_ptr<DiskCall> startDiskCall(const QString&, std::function<void(DiskCall&)>);
    friend bool waitDiskCall(DiskCall&, int, const std::function<void()>&, int);
    QString folder;
    std::atomic<unsigned> beats{0};
    std::atomic<bool> gaveUp{false};
    bool done = false;  // guarded by the registry's mutex
};

// Starts work on a detached thread for folder (absolute, may end with
// "/"). Null, without starting anything, when folder or a folder above it
// is stalled or no thread can be had.
// Any thread; never blocks on the disk.
std::shared_ptr<DiskCall> startDiskCall(const QString& folder, std::function<void(DiskCall&)> work);

// Waits until call's work has returned (true) or until it has neither
// returned nor beaten for silentMs (false: the call is given up and its
// folder counts as stalled until the work returns). Calls onPoll on the
// calling thread every pollMs while waiting. Blocks at most silentMs
// after the last beat.
bool waitDiskCall(DiskCall& call, int silentMs, const std::function<void()>& onPoll = {}, int pollMs = 50);

// True while a call for folder or a folder above it has been given up and
// has not come back. Never blocks.
bool isStalled(const QString& folder);
// True while any given-up call has not come back: something at exit could
// still wait for the disk (a file-system model's own thread, say).
bool anyStalled();

// What a bounded look at one path found; links are followed.
enum class PathKind { Missing, File, Folder, Other, Silent };

// stat of path on its own thread, waited for at most waitMs. Silent when
// it did not answer in time (path then counts as stalled, as a folder
// would) or path lies in a stalled folder.
PathKind probePath(const QString& path, int waitMs = diskWaitMs());

// Reads folder and looks at each of its entries (stat, links followed), as
// a file browser showing it does, on its own thread: Silent when that was
// not done within waitMs of silence (the entry it waited on counts as
// stalled), else Folder, or Missing when folder cannot be read.
PathKind probeFolderEntries(const QString& folder, int waitMs = diskWaitMs());
