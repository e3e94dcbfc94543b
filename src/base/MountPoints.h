#pragma once
#include <QString>
#include <QStringList>

// Where a folder's file system begins, to tell a folder on a removable stick
// from the bare mount-point folder left on the internal disk once the stick
// is gone. All calls only stat and read; none blocks longer than that.

// The highest folder on the path of folder (folder itself included) that
// lies on the same file system as folder: the mount point of its file
// system. Empty when folder does not exist. folder is absolute, no trailing "/".
QString fileSystemTop(const QString& folder);

// True when folder, or a folder between it and top (its file system's top,
// excluded), is a place a removable file system is mounted on, while nothing
// is mounted there now: a mount point of fstab (mountPoints), or a folder
// directly in /media/<user>/ or /run/media/<user>/ (where desktops mount
// sticks) that is empty now.
bool isUnmountedMountPoint(const QString& folder, const QString& top, const QStringList& mountPoints);

// The mount points /etc/fstab names (swap and "none" left out).
QStringList fstabMountPoints();

// True when files may be created and removed in folder (false on a
// read-only mount, even for root).
bool folderWritable(const QString& folder);
