#include "shell/SongActions.h"

#include <QFileInfo>

#include "base/Clock.h"
#include "base/FileOps.h"
#include "base/Messages.h"
#include "base/MountPoints.h"
#include "base/RandomSource.h"
#include "shell/Kalvo.h"

void SongActions::DeleteCurrentSong(bool withSound) {
    PlaybackController& pb = k.playback;
    SongList& list = k.library.songList;

    // The song heard is the one deleted, whatever the song field names; with
    // none, the song that would play next. Never a path that a failed start
    // or a determination without playing left in currentSong.
    const QString heard = pb.heardSong();
    const bool wasLoaded = !heard.isEmpty();
    if (!wasLoaded) pb.LiedBestimmen(QString());
    const int index = list.index();
    const QString source = wasLoaded ? heard : pb.currentSong;

    pb.Stoppen();
    k.s.clock.sleepMs(10);

    const Trash::MovedIn moved = k.trash.moveIn(source);
    if (moved.result == MoveResult::NotMoved) {
        k.s.messages.errorBeep();
        return;
    }
    if (moved.result == MoveResult::CopyKept) {
        k.s.messages.errorBeep();
        const QString folder = QFileInfo(source).absolutePath();
        k.shell.ShowSongText(QStringLiteral("Kann ") + filePart(source) + QStringLiteral(" nicht löschen") +
                             (folderWritable(folder) ? QString() : QStringLiteral(" - Ordner schreibgeschützt")));
        return;
    }

    if (withSound) {
        pb.LoeschTon();
        k.s.clock.sleepMs(500);
    }
    k.shell.ShowSongText(QString());

    // The entry of the moved file: normally the one under the cursor. A song
    // played by path may not be it; then the list entry of that path, if any.
    SongEntry* song = list.select(index);
    if (!song || song->filePath != source) {
        song = nullptr;
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).filePath == source) {
                song = list.select(i);
                break;
            }
        }
    }
    k.trash.record(moved, song ? song->randomKey : k.s.random.nextKey(), song ? song->filePath : source);

    if (song) list.deleteCurrent();
    if (wasLoaded) pb.Spielen(QString());
}

bool SongActions::UndoLastDelete() {
    TrashEntry e;
    switch (k.trash.undoNewest(e)) {
    case Trash::Undo::Nothing:
        k.s.messages.asteriskBeep();
        return false;
    case Trash::Undo::Failed:
        k.s.messages.errorBeep();
        return false;
    case Trash::Undo::Done:
        break;
    }
    const int at = k.library.ReenterSong(e.originPath, e.randomKey);
    k.trash.WriteTrashIndex();

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

bool SongActions::PlayFromTrash(int32_t randomKey) {
    const TrashEntry* e = k.trash.entryWithKey(randomKey);
    if (!e || !k.s.files.isFile(e->trashPath)) return false;
    k.playback.Spielen(e->trashPath);
    return true;
}

Trash::RestoreCounts SongActions::RestoreSelected(const QList<int32_t>& keys) {
    Trash::RestoreCounts counts;
    QVector<TrashEntry>& entries = k.trash.TrashList;
    for (const int32_t key : keys) {
        for (int i = 0; i < entries.size();) {
            if (entries[i].randomKey != key) {
                ++i;
                continue;
            }
            const TrashEntry e = entries[i];
            if (k.trash.moveBack(i)) {
                SongEntry* song = k.library.songList.add();
                song->filePath = e.originPath;
                song->randomKey = e.randomKey;
                ++counts.restored;
            } else {
                ++counts.failed;
                ++i;
            }
        }
    }
    k.library.ListeAbgleichen();
    k.trash.WriteTrashIndex();
    return counts;
}

void SongActions::CheckTrashFolder() {
    const int adopted = k.trash.CheckTrashFolder();
    if (adopted > 0)
        k.shell.ShowMessage(Trash::adoptionMessage(adopted, k.shell.TrashFolder, k.settings.TrashMax));
}
