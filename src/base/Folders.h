#pragma once
#include <QString>

// Folder helpers of start-up. UI thread; they block on the file system and
// report failure as false or an empty text.

// The user's data folder (XDG_DATA_HOME or ~/.local/share), without a
// trailing separator; empty when the system cannot tell.
QString genericDataFolder();
// True when oldFolder is a folder that holds a Kalvo2.ini, i.e. a data
// folder of an earlier version, and is not newFolder itself.
bool isOldDataFolder(const QString& oldFolder, const QString& newFolder);
// Renames a folder; never replaces an existing to (false then). Creates the
// parents of to first. False when the rename fails (e.g. across file systems).
bool moveFolder(const QString& from, const QString& to);
// True when file exists and was last written more than 20 days
// (1,728,000 s) before nowLocal, both counted on the local wall clock.
bool logIsStale(const QString& file, qint64 nowLocal);
