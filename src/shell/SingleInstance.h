#pragma once
#include <QString>

// One player per data folder. Two players on one folder would each write the
// settings, the list and the trash index at exit, and the last writer would
// win; so the first holds an exclusive lock in the folder and a second start
// asks it to show its window and ends before it touches any file.

// Where the lock lives and when it is taken.
struct InstancePlan {
    QString dataFolder;      // the folder start-up will use; ends with "/"
    // False only while an old data folder in the home folder waits to be moved
    // to dataFolder: the folder must not be created before start-up moves it,
    // so the lock is taken right after start-up has prepared the folders.
    bool lockBeforeStartUp = true;
};

// The same choice of data folder as start-up makes: appData + "Kalvo2/",
// or home + "Kalvo2/" when the system names no application-data folder.
// Reads the file system; UI thread.
InstancePlan planInstanceLock(const QString& appDataFolder, const QString& homeFolder);

// Lock and socket file names inside the data folder.
inline constexpr const char* kInstanceLockName = "Kalvo2.lock";
inline constexpr const char* kInstanceSocketName = "Kalvo2.sock";
// The longest path a local socket may have, in bytes of its encoded name.
inline constexpr int kMaxSocketPathBytes = 107;

// The socket through which a second start asks the running player to show
// its window. In the user's runtime folder (XDG_RUNTIME_DIR: private to the
// user and short) when there is one, named after a hash of the data folder
// (its canonical path when it exists), so each data folder has its own and
// a long data folder path still fits; else "Kalvo2.sock" in the data folder.
QString raiseSocketPath(const QString& dataFolder, const QString& runtimeFolder);
