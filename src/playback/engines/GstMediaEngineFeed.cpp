// The media engine as the module engine's output stage: a renderer's PCM
// arrives through a pipe and plays in playbin like any song.
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/GstAudioSink.h"

#include <algorithm>
#include <utility>
#include <cerrno>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The source asks for one block at a time, so what waits ahead of the sink
// is small: a jump or a stop in the renderer is heard soon.
constexpr gsize FeedBlockBytes = 1024 * PcmStage::BytesPerFrame;

// What the source reads from; it owns the pipe, which closes with it.
struct FeedSource {
    int fd;
    std::atomic<bool>* stopping;
    quint64 bytes = 0;
    ~FeedSource() { ::close(fd); }
};

// Streaming thread of the source: reads one block from the pipe, waiting
// in short steps so that a stop is never held up by a silent renderer.
void feedNeedData(GstAppSrc* src, guint, gpointer data) {
    auto* f = static_cast<FeedSource*>(data);
    GstBuffer* b = gst_buffer_new_allocate(nullptr, FeedBlockBytes, nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(b, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(b);
        return;
    }
    gsize got = 0;
    bool ended = false;
    // A block ends on a whole frame; a partial one waits for the rest.
    while (!f->stopping->load() && (got == 0 || got % PcmStage::BytesPerFrame != 0)) {
        pollfd p{f->fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::read(f->fd, map.data + got, FeedBlockBytes - got);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            ended = true;  // the renderer closed the pipe: the module's end
            break;
        }
        got += gsize(n);
    }
    got -= got % PcmStage::BytesPerFrame;
    gst_buffer_unmap(b, &map);
    if (f->stopping->load() || got == 0) {
        gst_buffer_unref(b);
        if (ended && !f->stopping->load())
            gst_app_src_end_of_stream(src);
        return;
    }
    gst_buffer_set_size(b, got);
    const quint64 frames = f->bytes / PcmStage::BytesPerFrame;
    f->bytes += got;
    GST_BUFFER_PTS(b) = gst_util_uint64_scale(frames, GST_SECOND, PcmStage::Rate);
    GST_BUFFER_DURATION(b) = gst_util_uint64_scale(got / PcmStage::BytesPerFrame, GST_SECOND, PcmStage::Rate);
    gst_app_src_push_buffer(src, b);
    if (ended)
        gst_app_src_end_of_stream(src);
}

}  // namespace

void GstMediaEngine::sourceSetup(GstElement*, GstElement* source, void* self) {
    auto* e = static_cast<GstMediaEngine*>(self);
    if (!GST_IS_APP_SRC(source))
        return;
    // The pipe of the feed started, or of the one the stream took to follow.
    int fd = -1;
    {
        std::lock_guard lock(e->joinMutex_);
        fd = std::exchange(e->feedFd_, -1);
    }
    if (fd < 0)
        return;
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT,
                                        PcmStage::Rate, "channels", G_TYPE_INT, PcmStage::Channels, "layout",
                                        G_TYPE_STRING, "interleaved", nullptr);
    g_object_set(source, "caps", caps, "format", GST_FORMAT_TIME, "is-live", FALSE, "block", FALSE,
                 "max-bytes", guint64(2 * FeedBlockBytes), nullptr);
    gst_caps_unref(caps);
    GstAppSrcCallbacks cb{};
    cb.need_data = &feedNeedData;
    auto* f = new FeedSource{fd, &e->feedStopping_};
    gst_app_src_set_callbacks(GST_APP_SRC(source), &cb, f, [](gpointer p) { delete static_cast<FeedSource*>(p); });
}

bool GstMediaEngine::outputOpens() { return gst_is_initialized() || gst_init_check(nullptr, nullptr, nullptr) ? gstAudioOutputOpens() : false; }

bool GstMediaEngine::startFeed(int fd, const QString& name) {
    release();
    outputFailed_ = false;
    if (fd < 0)
        return false;
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr)) {
        ::close(fd);
        return false;
    }
    feed_ = true;
    {
        std::lock_guard lock(joinMutex_);
        feedFd_ = fd;
    }
    feedFramesHeard_ = -1;
    feedFailed_ = false;
    feedStopping_ = false;
    // The renderer's samples flow at once: no preroll on its own first.
    if (loadUri("appsrc://", name, true) == 0) {
        release();
        return false;
    }
    play();
    pollBus();
    return !feedFailed_;
}

void GstMediaEngine::pauseFeed() {
    if (feeding())
        pause();
}

void GstMediaEngine::resumeFeed() {
    if (feeding())
        resume();
}

void GstMediaEngine::stopFeed() {
    if (feed_)
        release();
}

bool GstMediaEngine::feedFailed() {
    if (feeding())
        pollBus();
    return feedFailed_;
}

qint64 GstMediaEngine::feedFramesHeard() {
    if (!feeding())
        return -1;
    // Once the stream has taken what follows, the position may be that of
    // the song to come, while the feed's end is still heard.
    if (joining())
        return feedFramesHeard_;
    gint64 pos = 0;
    if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) || pos < 0)
        return -1;
    feedFramesHeard_ = qint64(gst_util_uint64_scale(guint64(pos), PcmStage::Rate, GST_SECOND));
    return feedFramesHeard_;
}

bool GstMediaEngine::offerFeed(int fd, const QString& name) {
    if (!playbin_) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    return offer(fd >= 0 ? QByteArray("appsrc://") : QByteArray(), name, fd);
}

void GstMediaEngine::setFeedVolume(int volume) {
    feedVolume_ = std::clamp(volume, 0, 100);
    applyVolume();
}

void GstMediaEngine::releaseFeed() {
    {
        std::lock_guard lock(joinMutex_);
        if (feedFd_ >= 0)
            ::close(feedFd_);
        feedFd_ = -1;
    }
    feed_ = false;
    feedStopping_ = false;
}
