// Continuous play in the media engine: the next song joins the one heard
// in the same playbin.
#include "playback/engines/GstMediaEngine.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <unistd.h>
#include <utility>
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
    if (e->nextUri_.isEmpty() && e->offersUsed_ && e->awaitingOffer_ && !e->stopping_) {
        // Decoded before its successor was offered (while it loads, or
        // before its join is heard): wait for the offer.
        const quint64 before = e->offers_;
        e->offered_.wait_for(lock, std::chrono::milliseconds(e->OfferWaitMs),
                             [&] { return e->offers_ != before || e->stopping_; });
    }
    if (e->nextUri_.isEmpty() || e->stopping_)
        return;  // the stream ends
    // A feed's source takes its pipe when the stream sets it up.
    e->takenFeed_ = e->nextFeedFd_ >= 0;
    if (e->takenFeed_) {
        if (e->feedFd_ >= 0)
            ::close(e->feedFd_);
        e->feedFd_ = std::exchange(e->nextFeedFd_, -1);
    }
    // Its gain is set when its stream reaches the sink.
    e->pendingGain_.store(e->nextGain_);
    e->nextGain_ = -1;
    g_object_set(playbin, "uri", e->nextUri_.constData(), nullptr);
    e->takenPath_ = e->nextPath_;
    e->awaitingOffer_ = true;
    e->nextUri_.clear();
    e->nextPath_.clear();
}

bool GstMediaEngine::prepareNext(const QString& path) {
    if (!playbin_) {
        // Nothing to follow yet, but offers will come: a song decoded while
        // it loads waits for its own.
        std::lock_guard lock(joinMutex_);
        offersUsed_ = true;
        return false;
    }
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
    return offer(uri, path, -1);
}

bool GstMediaEngine::offer(const QByteArray& uri, const QString& path, int feedFd) {
    {
        std::lock_guard lock(joinMutex_);
        if (nextFeedFd_ >= 0)
            ::close(nextFeedFd_);
        nextFeedFd_ = uri.isEmpty() ? -1 : feedFd;
        nextUri_ = uri;
        nextPath_ = uri.isEmpty() ? QString() : path;
        nextGain_ = -1;
        ++offers_;
        offersUsed_ = true;
        awaitingOffer_ = false;
    }
    offered_.notify_all();
    return true;
}

void GstMediaEngine::setNextGain(double gain) {
    std::lock_guard lock(joinMutex_);
    if (!nextUri_.isEmpty())
        nextGain_ = std::isfinite(gain) && gain >= 0 ? std::min(gain, 8.0) : -1;
}

MediaHandle GstMediaEngine::takeJoined() {
    if (!playbin_)
        return 0;
    pollBus();
    if (!joinPending_ || paused_)
        return 0;
    if (!firstSampleHeard())
        return 0;
    gint64 pos = 0;
    if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) || pos < 0)
        pos = 0;
    joinPending_ = false;
    path_ = joinPath_;
    joinPath_.clear();
    // The stage now holds what joined: a feed or a file.
    feed_ = joinFeed_;
    joinFeed_ = false;
    feedFailed_ = false;
    feedFramesHeard_ = -1;
    applyVolume();
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

namespace {

// Streaming thread state of the sink pad's probe.
struct SinkPadWatch {
    std::atomic<qint64>* startRunningTime;
    std::atomic<double>* pendingGain;
    GstElement* gain;  // may be null
    GstSegment segment;
    bool awaitingFirst = false;
};

GstPadProbeReturn watchSinkPadProbe(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* w = static_cast<SinkPadWatch*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* e = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(e) == GST_EVENT_STREAM_START) {
            w->awaitingFirst = true;
            w->startRunningTime->store(-1);
            // A joined song's gain, ahead of its first sample in this thread.
            const double gain = w->pendingGain->exchange(-1);
            if (gain >= 0 && w->gain)
                g_object_set(w->gain, "amplification", float(gain), nullptr);
        } else if (GST_EVENT_TYPE(e) == GST_EVENT_SEGMENT) {
            const GstSegment* s = nullptr;
            gst_event_parse_segment(e, &s);
            gst_segment_copy_into(s, &w->segment);
        }
        return GST_PAD_PROBE_OK;
    }
    if (!w->awaitingFirst)
        return GST_PAD_PROBE_OK;
    GstBuffer* b = nullptr;
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER)
        b = GST_PAD_PROBE_INFO_BUFFER(info);
    else if (GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info); list && gst_buffer_list_length(list) > 0)
        b = gst_buffer_list_get(list, 0);
    if (!b || !GST_BUFFER_PTS_IS_VALID(b) || w->segment.format != GST_FORMAT_TIME)
        return GST_PAD_PROBE_OK;
    const guint64 rt = gst_segment_to_running_time(&w->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(b));
    if (rt != GST_CLOCK_TIME_NONE) {
        w->awaitingFirst = false;
        w->startRunningTime->store(qint64(rt));
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace

// The sink's position in a new stream says little about when its first
// sample is heard (it stays 0 while the sink fills its buffer, or moves
// while the song before still plays from it); the running time of that
// sample against the pipeline's clock says it exactly.
void GstMediaEngine::watchSinkPad() {
    streamStartRunningTime_.store(-1);
    GstPad* pad = gst_element_get_static_pad(sink_, "sink");
    if (!pad)
        return;
    auto* w = new SinkPadWatch{&streamStartRunningTime_, &pendingGain_, gainElement_, {}, false};
    gst_segment_init(&w->segment, GST_FORMAT_UNDEFINED);
    gst_pad_add_probe(pad,
                      GstPadProbeType(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_BUFFER |
                                      GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      &watchSinkPadProbe, w, [](gpointer p) { delete static_cast<SinkPadWatch*>(p); });
    gst_object_unref(pad);
}

bool GstMediaEngine::firstSampleHeard() {
    const qint64 start = streamStartRunningTime_.load();
    if (start < 0)
        return false;
    GstClock* clock = gst_element_get_clock(playbin_);
    if (!clock)
        return false;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(playbin_);
    return now != GST_CLOCK_TIME_NONE && now >= base && qint64(now - base) >= start;
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
        if (nextFeedFd_ >= 0)
            ::close(nextFeedFd_);
        nextFeedFd_ = -1;
        takenPath_.clear();
        takenFeed_ = false;
        awaitingOffer_ = true;
        stopping_ = false;
    }
    joinPath_.clear();
    joinPending_ = false;
    joinFeed_ = false;
    joinTags_ = SongTags{};
    if (joinImage_)
        gst_sample_unref(joinImage_);
    joinImage_ = nullptr;
}
