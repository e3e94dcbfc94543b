#include "trash/Trash.h"

#include <QSet>
#include <algorithm>

#include "base/Messages.h"
#include "shell/Kalvo.h"

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
    int n = 0;
    for (const TrashEntry& e : undoStack) n += indexOfEntry(e) >= 0 ? 1 : 0;
    return n;
}

bool Trash::UndoLastDelete() {
    while (!undoStack.isEmpty() && indexOfEntry(undoStack.last()) < 0) undoStack.removeLast();
    if (undoStack.isEmpty()) {
        k.s.messages.asteriskBeep();
        return false;
    }
    const TrashEntry e = undoStack.last();
    if (!moveBack(indexOfEntry(e))) {
        k.shell.LogLine(QStringLiteral("UndoLastDelete: Konnte Datei nicht wiederherstellen: ") + e.trashPath +
                        QStringLiteral(" > ") + e.originPath);
        k.s.messages.errorBeep();
        return false;
    }
    undoStack.removeLast();
    const int at = k.library.ReenterSong(e.originPath, e.randomKey);
    WriteTrashIndex();

    // Back in the list (its folder is one of the list's): play it from the
    // list, so cursor, counter and resume point are its own again.
    PlaybackController& pb = k.playback;
    const bool listed = at >= 0 && k.library.songList.at(at).presence > 0 &&
                        k.library.songList.at(at).filePath == e.originPath;
    if (listed) {
        pb.lastSongPath = e.originPath;
        pb.lastSongKey = e.randomKey;
        pb.Spielen(QString());
    } else {
        pb.Spielen(e.originPath);
    }
    return true;
}
