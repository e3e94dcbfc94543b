#include "base/SafeMove.h"

#include "base/FileOps.h"
#include "base/PartialCopy.h"

MoveResult moveWithoutLoss(FileOps& files, const QString& from, const QString& to) {
    // Only a file moves: a folder, a device or a pipe never does.
    if (from.isEmpty() || to.isEmpty() || !files.isFile(from)) return MoveResult::NotMoved;
    if (files.renameNoReplace(from, to)) return MoveResult::Moved;
    // The rename failed for a reason a copy cannot mend.
    if (files.nameTaken(to)) return MoveResult::NotMoved;
    const QString temp = partialCopyName(to);
    if (!files.copyFile(from, temp)) return MoveResult::NotMoved;
    if (!files.renameNoReplace(temp, to)) {
        files.removeFile(temp);
        return MoveResult::NotMoved;
    }
    return files.removeFile(from) ? MoveResult::Moved : MoveResult::CopyKept;
}
