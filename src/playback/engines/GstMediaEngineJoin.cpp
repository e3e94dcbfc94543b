// Continuous play in the media engine: the next song joins the one heard
// in the same playbin.
#include "playback/engines/GstMediaEngine.h"

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <gst/gst.h>

#include "playback/engines/GstTagReader.h"

namespace {

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void GstMediaEngine::takeTags(GstMessage* m) {
    // Once the stream has taken the next song, what comes is about that one.
    if (joining())
        takeGstTags(m, joinTags_, joinImage_);
    else
        takeGstTags(m, tags_, imageSample_);
}

bool GstMediaEngine::joining() {
    if (joinPending_)
        return true;
    std::lock_guard lock(joinMutex_);
    return !takenPath_.isEmpty();
}

void GstMediaEngine::aboutToFinish(GstElement* playbin, void* self) {
    auto* e = static_cast<GstMediaEngine*>(self);
    std::unique_lock lock(e->joinMutex_);
    if (e->nextUri_.isEmpty() && e->unheard_ && !e->stopping_) {
        // The song just decoded is not heard yet, so its successor has not
        // been offered: wait for the offer that follows its join.
        const quint64 before = e->offers_;
        e->offered_.wait_for(lock, std::chrono::milliseconds(e->OfferWaitMs),
                             [&] { return e->offers_ != before || e->stopping_; });
    }
    if (e->nextUri_.isEmpty() || e->stopping_)
        return;  // the stream ends
    g_object_set(playbin, "uri", e->nextUri_.constData(), nullptr);
    e->takenPath_ = e->nextPath_;
    e->unheard_ = true;
    e->nextUri_.clear();
    e->nextPath_.clear();
}

bool GstMediaEngine::prepareNext(const QString& path) {
    if (!playbin_)
        return false;
    QByteArray uri;
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        if (!info.isFile() || !info.isReadable())
            return false;
        gchar* u = gst_filename_to_uri(QFile::encodeName(info.absoluteFilePath()).constData(), nullptr);
        if (!u)
            return false;
        uri = u;
        g_free(u);
    }
    {
        std::lock_guard lock(joinMutex_);
        nextUri_ = uri;
        nextPath_ = uri.isEmpty() ? QString() : path;
        ++offers_;
    }
    offered_.notify_all();
    return true;
}

MediaHandle GstMediaEngine::takeJoined() {
    if (!playbin_)
        return 0;
    pollBus();
    if (!joinPending_ || paused_)
        return 0;
    // The sink reports 0 in the new stream until its first sample is played.
    gint64 pos = 0;
    if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) || pos <= 0)
        return 0;
    joinPending_ = false;
    {
        std::lock_guard lock(joinMutex_);
        unheard_ = !takenPath_.isEmpty();  // a later song already taken
    }
    path_ = joinPath_;
    joinPath_.clear();
    handle_ = nextHandle_++;
    if (nextHandle_ <= 0)
        nextHandle_ = 1;
    joinTags_.revision = tags_.revision + 1;
    tags_ = joinTags_;
    joinTags_ = SongTags{};
    if (imageSample_)
        gst_sample_unref(imageSample_);
    imageSample_ = joinImage_;
    joinImage_ = nullptr;
    ended_ = false;
    lastPosition_ = pos / 100;
    sinkPosition_ = -1;
    sinkStillSinceMs_ = nowMs();
    length_ = 0;
    lengthWaited_ = false;
    return handle_;
}

void GstMediaEngine::endOfferWait() {
    {
        std::lock_guard lock(joinMutex_);
        stopping_ = true;
    }
    offered_.notify_all();
}

void GstMediaEngine::forgetJoin() {
    {
        std::lock_guard lock(joinMutex_);
        nextUri_.clear();
        nextPath_.clear();
        takenPath_.clear();
        unheard_ = false;
        stopping_ = false;
    }
    joinPath_.clear();
    joinPending_ = false;
    joinTags_ = SongTags{};
    if (joinImage_)
        gst_sample_unref(joinImage_);
    joinImage_ = nullptr;
}
