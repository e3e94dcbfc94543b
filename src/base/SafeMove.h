#pragma once
#include <QString>

class FileOps;

enum class MoveResult {
    Moved,     // the file is at to and no longer at from
    NotMoved,  // nothing changed: from is where it was, to was not created
    CopyKept,  // a complete copy is at to, but from could not be removed
};

// Moves a regular file (or a link to one; anything else is NotMoved)
// without ever losing it and without replacing anything at to:
// a rename where possible, otherwise a flushed, size-checked copy to the
// temporary name partialCopyName(to), renamed into place, and only then
// removal of from. At every moment the file is at from, at to, or at both.
// Built on the FileOps primitives only, so tests can fail each step.
// Blocks for the copy; UI thread.
MoveResult moveWithoutLoss(FileOps& files, const QString& from, const QString& to);
