#include "trash/Trash.h"

#include <QSet>
#include <algorithm>

namespace {

bool sameEntry(const TrashEntry& a, const TrashEntry& b) {
    return a.deletedAt == b.deletedAt && a.randomKey == b.randomKey && a.trashPath == b.trashPath &&
           a.originPath == b.originPath;
}

}  // namespace

int Trash::indexOfEntry(const TrashEntry& entry) const {
    for (int i = int(TrashList.size()) - 1; i >= 0; --i)
        if (sameEntry(TrashList[i], entry)) return i;
    return -1;
}

// Keeps the stack no longer than the trash: entries whose file has left the
// trash meanwhile are dropped with every push.
void Trash::pushUndo(const TrashEntry& entry) {
    QSet<QString> inTrash;
    for (const TrashEntry& e : TrashList) inTrash.insert(e.trashPath);
    undoStack.erase(std::remove_if(undoStack.begin(), undoStack.end(),
                                   [&](const TrashEntry& e) { return !inTrash.contains(e.trashPath); }),
                    undoStack.end());
    undoStack.append(entry);
}

int Trash::undoableCount() const {
    int count = 0;
    for (const TrashEntry& e : undoStack) count += indexOfEntry(e) >= 0 ? 1 : 0;
    return count;
}

Trash::Undo Trash::undoNewest(TrashEntry& undone) {
    while (!undoStack.isEmpty() && indexOfEntry(undoStack.last()) < 0) undoStack.removeLast();
    if (undoStack.isEmpty()) return Undo::Nothing;
    const TrashEntry e = undoStack.last();
    if (!moveBack(indexOfEntry(e))) {
        n.log(QStringLiteral("UndoLastDelete: Konnte Datei nicht wiederherstellen: ") + e.trashPath +
              QStringLiteral(" > ") + e.originPath);
        return Undo::Failed;
    }
    undoStack.removeLast();
    undone = e;
    return Undo::Done;
}
