// Continuous play that joins the next media song to the one heard.
#include "playback/PlaybackController.h"

#include "library/SongPattern.h"
#include "shell/Kalvo.h"

QString PlaybackController::continuationSong() const {
    if (!k.settings.FortwAbspielen || moduleSong != 0 || currentSong.isEmpty() || currentSong != loadedPath)
        return {};
    const SongList& list = k.library.songList;
    if (endStand.valid || list.isEmpty()) return {};
    // MusNext takes the entry after the resume song, the first with Repeat.
    int next = findResume().index + 1;
    if (next <= 0) return {};
    if (next >= list.size()) {
        if (!k.settings.Repeat) return {};
        next = 0;
    }
    const SongEntry& e = list.at(next);
    const QString ext = songExtension(e.filePath);
    // Only a media song can follow in the media engine's stream.
    if (e.presence <= 0 || SongPattern(k.settings.TrackerModDateiPattern).takes(ext) ||
        !SongPattern(k.settings.WinMediaDateiPattern).takes(ext))
        return {};
    return e.filePath;
}

void PlaybackController::prepareContinuation() {
    const QString next = continuationSong();
    if (offered && next == preparedSong) return;
    offered = true;
    // What the engine refuses is offered again only once the choice changes;
    // it then starts as usual at the end.
    preparedSong = next;
    k.s.media.prepareNext(next);
}

void PlaybackController::joinContinuation(MediaHandle joined) {
    joinedHandle = joined;
    MusNext();
    if (joinedHandle == 0) return;  // a start took the stream or replaced it
    // Nothing started (the end of the list without Repeat): the song heard
    // has ended, as it would have without the join, and the stream that
    // moved on is silenced rather than heard under the old song's name.
    joinedHandle = 0;
    k.s.media.stop();
    halted = true;
}
