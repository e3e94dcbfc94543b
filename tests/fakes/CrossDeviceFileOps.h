#pragma once
// File operations that behave as if every folder were its own file system,
// and a real other file system where the machine has one: moves between
// folders must then copy.
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <sys/stat.h>

#include "fakes/Fakes.h"

// Renames only inside one folder, as if every folder were its own file
// system: a move between folders must copy. Failures as in FaultyFileOps,
// plus a count of copy calls.
class CrossDeviceFileOps : public FaultyFileOps {
public:
    int copies = 0;
    bool crossDevice = true;  // false: renames work everywhere
    bool copyFile(const QString& from, const QString& to) override {
        ++copies;
        return FaultyFileOps::copyFile(from, to);
    }
    bool renameNoReplace(const QString& from, const QString& to) override {
        if (crossDevice && QFileInfo(from).absolutePath() != QFileInfo(to).absolutePath()) return false;
        return FaultyFileOps::renameNoReplace(from, to);
    }
};

// A tmpfs on another device than the temporary folder, for moves that must
// copy; empty when there is none.
inline QString otherFileSystemFolder(const QString& near) {
    struct stat a {}, b {};
    if (::stat(QFile::encodeName(near).constData(), &a) != 0) return {};
    if (::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev) return {};
    return QStringLiteral("/dev/shm");
}
