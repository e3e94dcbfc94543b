// Continuous play that joins the next song to the one heard, in the output's
// one stream: media songs and modules alike.
#include "playback/PlaybackController.h"

#include "base/DiskWait.h"
#include "library/SongPattern.h"
#include "playback/engines/ModuleEngine.h"
#include "shell/Kalvo.h"

QString PlaybackController::continuationSong() const {
    if (!k.settings.FortwAbspielen || currentSong.isEmpty() || currentSong != loadedPath)
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
    if (e.presence <= 0 || songKind(e.filePath) < 0) return {};
    return e.filePath;
}

int PlaybackController::songKind(const QString& path) const {
    const QString ext = songExtension(path);
    if (SongPattern(k.settings.TrackerModDateiPattern).takes(ext)) return 1;
    return SongPattern(k.settings.WinMediaDateiPattern).takes(ext) ? 0 : -1;
}

void PlaybackController::prepareContinuation() {
    QString next = continuationSong();
    if (offered && next == preparedSong) return;
    offered = true;
    // What an engine refuses is offered again only once the choice changes;
    // it then starts as usual at the end, as does a song on a share that
    // does not answer (whose start says so).
    if (preparedModule) k.s.modules.prepareNext(QString());
    preparedSong = next;
    preparedModule = !next.isEmpty() && songKind(next) == 1;
    if (!next.isEmpty() && probePath(next) == PathKind::Silent) next.clear();
    // The renderer ends the module heard with its last sample itself.
    if (preparedModule && !next.isEmpty() && k.s.modules.prepareNext(next)) {
        output.prepareNext(next);
        return;
    }
    const bool follows = !preparedModule && k.s.media.prepareNext(next) && !next.isEmpty();
    if (follows) output.prepareNext(next);
    // Every engine hears what follows, or that nothing does.
    if (preparedModule) k.s.media.prepareNext(QString());
    if (moduleSong == 1) k.s.modules.endStreamAtEnd(follows);
}

void PlaybackController::forgetPrepared() {
    // A module prepared while a media song plays already renders.
    if (preparedModule) k.s.modules.prepareNext(QString());
    preparedSong.clear();
    preparedModule = false;
    offered = false;
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
