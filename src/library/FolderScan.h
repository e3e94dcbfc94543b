#pragma once
// The scan as functions over PathList and SongList: they take what they need
// from the player explicitly and know no player context.
#include <QString>
#include <functional>

#include "library/SongList.h"

class RandomSource;
class ScanProgress;

struct ScanNeeds {
    QString patternText;  // module patterns ";" media patterns (songPatternText)
    QString trashFolder;  // never walked; empty: no trash
    RandomSource& random;    // the keys of new songs
    ScanProgress& progress;  // names the folder and the file the walk is at
    std::function<void(const QString&)> log;
};

// Walks directory (a separator is added when it lacks one) and every folder
// below it, adding or refreshing a SongEntry in songs for every song file.
// Removes nothing; a folder that cannot be read is logged and skipped, one
// that does not answer is logged and given up, the trash is logged and left.
void scanFolder(SongList& songs, const QString& directory, const ScanNeeds& needs);

// Ages every entry of songs, walks every folder of paths (a folder reached
// twice through links is walked once) and drops the entries missed 30 times
// in a row or no longer matching the patterns. Does not sort.
void reconcileSongs(const PathList& paths, SongList& songs, const ScanNeeds& needs);

// The first folder of paths that does not answer (its walk still waits);
// empty when every folder answers.
QString firstSilentFolder(const PathList& paths);
