#pragma once
// A list file read and written as a function over PathList and SongList:
// the groups [Kalvo] (resume point, volume), [Pfade] and [Lieder].
#include <QString>
#include <cstdint>

#include "library/SongList.h"

// The [Kalvo] group: where the list was left and its volume.
struct ListResume {
    QString lastSongPath;
    int32_t lastSongKey = 0;
    int32_t volume = 50;
};

// Reads fileName: its [Kalvo] values into resume (missing keys give the
// defaults) and appends its folders to paths and its songs to songs. False
// when the file cannot be opened; then nothing is changed.
bool readListFile(const QString& fileName, ListResume& resume, PathList& paths, SongList& songs);

// Writes the list whole; the file is replaced on success only, a failure
// leaves the old one byte for byte. False with why filled on failure.
bool writeListFile(const QString& fileName, const ListResume& resume, const PathList& paths, const SongList& songs,
                   QString& why);
