#include "base/SafeMove.h"

#include <QFileInfo>

#include "base/FileOps.h"
#include "base/PartialCopy.h"

bool nameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

MoveResult moveWithoutLoss(FileOps& files, const QString& from, const QString& to) {
    // Only a file moves: a folder, a device or a pipe never does.
    if (from.isEmpty() || to.isEmpty() || !files.isFile(from)) return MoveResult::NotMoved;
    if (files.renameNoReplace(from, to)) return MoveResult::Moved;
    if (nameTaken(to)) return MoveResult::NotMoved;
    const QString temp = partialCopyName(to);
    if (!files.copyFile(from, temp)) return MoveResult::NotMoved;
    if (!files.renameNoReplace(temp, to)) {
        files.removeFile(temp);
        return MoveResult::NotMoved;
    }
    if (!files.removeFile(from)) return MoveResult::CopyKept;
    return MoveResult::Moved;
}
