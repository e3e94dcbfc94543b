#pragma once
#include <QList>
#include <cstdint>

#include "trash/Trash.h"

class Kalvo;

// The song-level roads through the trash: which song is deleted, what
// plays after a delete, an undo or a restore, and what the song list learns.
// The trash store below moves and records the files. UI thread only.
class SongActions {
public:
    explicit SongActions(Kalvo& k) : k(k) {}

    // Moves the current song (or, with none loaded, the one that would play
    // next) into the trash, records it, drops it from the song list and, if
    // a song was loaded, starts the next one. Failures: a log line and the
    // error beep; the song stays where it was. Blocks for the move (a copy
    // across file systems) and for 10 ms (+500 ms withSound).
    void DeleteCurrentSong(bool withSound);

    // Undoes the newest delete of this run that is still in the trash: moves
    // its file back as RestoreSelected does for one file, makes it the resume
    // point of the list (path and random order) and plays it from its start.
    // Only that song is entered again (its key, its size, its place in the
    // order): no scan runs, so no other entry ages.
    // Called again, the delete before that, back to the first of this run;
    // files trashed in earlier runs are left to the restore dialog. Nothing
    // to undo: the asterisk beep only. A failed move: a log line and the
    // error beep; the file stays in the trash and is the next to undo.
    // Returns true when the file is back at its origin. Blocks for the move.
    bool UndoLastDelete();

    // Restore dialog: plays the trashed file of the entry with that key;
    // true when playback started.
    bool PlayFromTrash(int32_t randomKey);
    // Moves the entries with these keys back to their origin (never
    // replacing a file there), re-adds them to the song list, rescans and
    // writes the index. An origin that is relative or holds "." or ".."
    // parts counts as failed (with a log line). Shows nothing; the dialog
    // shows the counts.
    Trash::RestoreCounts RestoreSelected(const QList<int32_t>& keys);

    // Start-up, after the settings: the trash folder's check, and one
    // message when it adopted files it did not know.
    void CheckTrashFolder();

private:
    Kalvo& k;
};
