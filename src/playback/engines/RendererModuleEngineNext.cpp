// Continuous play in the module engine: the module to follow the song heard
// is handed to the renderer with a pipe of its own, which the stage joins to
// its stream, and becomes the engine's module once it is heard.
#include "playback/engines/RendererModuleEngine.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

#include "playback/engines/PcmStage.h"
#include "playback/engines/modrender/Protocol.h"

using namespace modrender;

quint32 RendererModuleEngine::newSong() {
    if (++songs_ == 0)
        ++songs_;
    return songs_;
}

bool RendererModuleEngine::prepareNext(const QString& path) {
    withdrawNext();
    if (path.isEmpty())
        return true;
    dropHungRenderer();
    const QByteArray p = QFile::encodeName(path);
    if (p.isEmpty() || p.size() > int(MaxPath) || !ensureRenderer())
        return false;
    fresh_ = false;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        log("ModuleEngine: cannot create the sound pipe");
        return false;
    }
    // The renderer loads it once the module that plays is rendered whole,
    // so nothing here waits for the file.
    const quint32 song = newSong();
    const bool sent = send(quint32(Op::Next), int(song), p, nullptr, ends[1]);
    ::close(ends[1]);
    if (!sent) {
        ::close(ends[0]);
        return false;
    }
    nextPath_ = path;
    nextSong_ = song;
    if (!stage_->offerFeed(ends[0], path)) {
        withdrawNext();
        return false;
    }
    return true;
}

// The renderer lets go of the prepared module; one that already renders
// because nothing played before it is stopped.
void RendererModuleEngine::withdrawNext() {
    if (nextPath_.isEmpty())
        return;
    nextPath_.clear();
    stage_->offerFeed(-1, {});
    if (!alive())
        return;
    if (loaded_)
        send(quint32(Op::Follow), 0);
    else
        request(quint32(Op::Stop), 0, {}, commandTimeoutMs, "stop");
}

void RendererModuleEngine::endStreamAtEnd(bool mediaFollows) {
    if (loaded_ && alive())
        send(quint32(Op::Follow), mediaFollows ? 1 : 0);
}

bool RendererModuleEngine::adoptNext(const QString& path) {
    if (nextPath_.isEmpty() || nextPath_ != path || !alive() || shared_->failedSong.load() == nextSong_)
        return false;
    loaded_ = true;
    paused_ = false;
    loadedPath_ = nextPath_;
    // Written before its first sample was rendered, so long before it is heard.
    const int n = std::clamp(int(shared_->titleLength.load()), 0, int(sizeof shared_->title));
    title_ = QByteArray(shared_->title, n);
    song_ = nextSong_;
    nextPath_.clear();
    return true;
}
