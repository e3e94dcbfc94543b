#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/GstAudioSink.h"

#include <QFile>
#include <QFileInfo>
#include <QtDebug>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <gst/gst.h>
#include <thread>

namespace {

// playbin flags (GstPlayFlags): audio and software volume only.
constexpr guint PlayFlagAudio = 0x2;
constexpr guint PlayFlagSoftVolume = 0x10;

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

GstMediaEngine::GstMediaEngine() = default;

GstMediaEngine::~GstMediaEngine() { release(); }

int GstMediaEngine::levelHundredthsDb(int volume) {
    if (volume <= 0)
        return -10000;
    if (volume >= 100)
        return 0;
    return int(std::trunc(2000.0 * std::log10(1000.0 * volume))) - 10000;
}

double GstMediaEngine::linearVolume(int volume) {
    if (volume <= 0)
        return 0.0;
    return std::pow(10.0, levelHundredthsDb(volume) / 100.0 / 20.0);
}

bool GstMediaEngine::initialise() {
    GError* err = nullptr;
    if (!gst_init_check(nullptr, nullptr, &err)) {
        if (err)
            g_error_free(err);
        return false;
    }
    GstElementFactory* f = gst_element_factory_find("playbin");
    if (!f)
        return false;
    gst_object_unref(f);
    // The sink must at least open: a machine without any audio device fails here.
    return gstAudioOutputOpens();
}

void GstMediaEngine::log(const QString& line) const {
    if (logger)
        logger(line);
    else
        qWarning().noquote() << line;
}

// Whether a message comes from the audio sink or an element inside it.
bool GstMediaEngine::fromOutput(GstMessage* m) const {
    return sink_ && GST_MESSAGE_SRC(m) && gst_object_has_as_ancestor(GST_MESSAGE_SRC(m), GST_OBJECT(sink_));
}

bool GstMediaEngine::isLoaded() const { return playbin_ != nullptr && !feed_; }

MediaHandle GstMediaEngine::load(const QString& path) {
    release();
    outputFailed_ = false;
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
        return 0;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return 0;
    gchar* uri = gst_filename_to_uri(QFile::encodeName(info.absoluteFilePath()).constData(), nullptr);
    if (!uri)
        return 0;
    const QByteArray u(uri);
    g_free(uri);
    return loadUri(u, path);
}

MediaHandle GstMediaEngine::loadUri(const QByteArray& uri, const QString& path, bool start) {
    GstElement* pb = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = makeGstAudioSink();
    if (!pb || !sink) {
        if (pb)
            gst_object_unref(pb);
        if (sink)
            gst_object_unref(sink);
        return 0;
    }
    GstElement* video = gst_element_factory_make("fakesink", nullptr);
    g_object_set(pb, "uri", uri.constData(), "flags", PlayFlagAudio | PlayFlagSoftVolume, "audio-sink", sink,
                 nullptr);
    if (video)
        g_object_set(pb, "video-sink", video, nullptr);
    g_signal_connect(pb, "about-to-finish", G_CALLBACK(&GstMediaEngine::aboutToFinish), this);
    g_signal_connect(pb, "source-setup", G_CALLBACK(&GstMediaEngine::sourceSetup), this);
    playbin_ = pb;
    sink_ = sink;
    gainElement_ = GST_IS_BIN(sink) ? gst_bin_get_by_name(GST_BIN(sink), GainElementName) : nullptr;
    if (gainElement_)
        gst_object_unref(gainElement_);  // the bin keeps it
    pendingGain_.store(-1);
    applyVolume();
    watchSinkPad();
    bus_ = gst_element_get_bus(pb);
    const quint32 revision = tags_.revision + 1;
    tags_ = SongTags{};
    tags_.revision = revision;

    // Preroll: the decoding chain is built and the first buffer waits at the
    // sink (or, when started at once, plays). A state change that fails at
    // once has left its error on the bus.
    bool ok = gst_element_set_state(pb, start ? GST_STATE_PLAYING : GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
    bool failedAtOnce = !ok;
    QString error;             // the first error's words
    bool errorOfOutput = false;
    const qint64 deadline = nowMs() + PrerollTimeoutMs;
    while (ok || failedAtOnce) {
        const qint64 left = failedAtOnce ? 0 : deadline - nowMs();
        if (left <= 0 && !failedAtOnce) {
            ok = false;
            break;
        }
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus_, GstClockTime(left) * GST_MSECOND,
            GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_TAG));
        if (!m) {
            ok = false;
            break;
        }
        const GstMessageType t = GST_MESSAGE_TYPE(m);
        if (t == GST_MESSAGE_TAG) {
            takeTags(m);
            gst_message_unref(m);
            continue;
        }
        const bool fromPipeline = GST_MESSAGE_SRC(m) == GST_OBJECT(pb);
        if (t == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gst_message_parse_error(m, &err, nullptr);
            error = err ? QString::fromUtf8(err->message) : QStringLiteral("unknown error");
            errorOfOutput = fromOutput(m);
            if (err)
                g_error_free(err);
            ok = false;
        }
        gst_message_unref(m);
        if (t == GST_MESSAGE_ERROR || (t == GST_MESSAGE_ASYNC_DONE && fromPipeline))
            break;
        if (t == GST_MESSAGE_EOS)
            break;  // an empty but valid stream
    }
    bool silent = false;
    if (ok) {
        gint audioStreams = 0;
        g_object_get(pb, "n-audio", &audioStreams, nullptr);
        silent = audioStreams <= 0;  // a file without sound is not a song
        ok = !silent;
    }
    if (!ok) {
        // A failure without a word from anyone is still the output's when
        // no sink can open now.
        outputFailed_ = errorOfOutput || (!silent && error.isEmpty() && !gstAudioOutputOpens());
        release();
        if (outputFailed_)
            log(QStringLiteral("MediaEngine: the sound output cannot play %1: %2")
                    .arg(path, error.isEmpty() ? QStringLiteral("it does not open") : error));
        return 0;
    }
    handle_ = nextHandle_++;
    if (nextHandle_ <= 0)
        nextHandle_ = 1;
    ended_ = false;
    lastPosition_ = 0;
    sinkPosition_ = -1;
    length_ = 0;
    lengthWaited_ = false;
    path_ = path;
    return handle_;
}

void GstMediaEngine::setTimeUnit(MediaHandle) {
    // Positions are always in 100-ns units.
}

void GstMediaEngine::setAudio(int volume, int balance) {
    volume_ = std::clamp(volume, 0, 100);
    balance_ = std::clamp(balance, -100, 100);  // kept; the player always centres
    applyVolume();
}

void GstMediaEngine::setOutputLevel(double level) {
    level_ = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 1.0;
    applyVolume();
}

void GstMediaEngine::setGain(double gain) {
    // playbin's volume reaches 10.0 at most.
    gain_ = std::isfinite(gain) ? std::clamp(gain, 0.0, 8.0) : 1.0;
    applyVolume();
}

void GstMediaEngine::applyVolume() {
    const double volume = feed_ ? feedVolume_ / 100.0 : linearVolume(volume_);
    if (!playbin_)
        return;
    if (gainElement_)
        g_object_set(gainElement_, "amplification", float(gain_), nullptr);
    g_object_set(playbin_, "volume", volume * level_ * (gainElement_ ? 1.0 : gain_), nullptr);
}

SongTags GstMediaEngine::tags() {
    if (!playbin_) {
        SongTags none;
        none.revision = tags_.revision;
        return none;
    }
    pollBus();
    return tags_;
}

void GstMediaEngine::pollBus() {
    if (!bus_)
        return;
    while (GstMessage* m = gst_bus_pop(bus_)) {
        const GstMessageType t = GST_MESSAGE_TYPE(m);
        if (t == GST_MESSAGE_DURATION_CHANGED && !joining())
            length_ = 0;  // asked again at the next length()
        if (t == GST_MESSAGE_TAG)
            takeTags(m);
        if (t == GST_MESSAGE_STREAM_START) {
            std::lock_guard lock(joinMutex_);
            if (!takenPath_.isEmpty()) {
                // The taken song's stream has reached the sink.
                joinPath_ = takenPath_;
                joinFeed_ = takenFeed_;
                takenPath_.clear();
                takenFeed_ = false;
                joinPending_ = true;
            }
        }
        if (t != GST_MESSAGE_EOS && t != GST_MESSAGE_ERROR) {
            gst_message_unref(m);
            continue;
        }
        if (!ended_) {
            gint64 pos = 0;
            if (gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) && pos >= 0)
                lastPosition_ = std::max(lastPosition_, qint64(pos / 100));
            if (t == GST_MESSAGE_ERROR) {
                GError* err = nullptr;
                gst_message_parse_error(m, &err, nullptr);
                const QString words = err ? QString::fromUtf8(err->message) : QStringLiteral("unknown error");
                if (err)
                    g_error_free(err);
                if (feed_ && fromOutput(m))
                    feedFailed_ = true;
                log(fromOutput(m) ? QStringLiteral("MediaEngine: sound output failed while playing %1: %2").arg(path_, words)
                                  : QStringLiteral("MediaEngine: playing %1 failed: %2").arg(path_, words));
            }
        }
        ended_ = true;  // the end, or a fault that ends the song: the position stands still
        gst_message_unref(m);
    }
}

bool GstMediaEngine::waitForState(int timeoutMs) {
    return gst_element_get_state(playbin_, nullptr, nullptr, GstClockTime(timeoutMs) * GST_MSECOND) !=
           GST_STATE_CHANGE_FAILURE;
}

void GstMediaEngine::play() {
    if (!playbin_)
        return;
    paused_ = false;
    pollBus();
    const qint64 start = position(handle_);
    if (gst_element_set_state(playbin_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return;
    sinkPosition_ = -1;
    sinkStillSinceMs_ = nowMs();
    // Return only when sound flows, so a position that stands still between
    // two ticks means the end and not a slow start.
    const qint64 deadline = nowMs() + PlayStartTimeoutMs;
    waitForState(PlayStartTimeoutMs);
    while (nowMs() < deadline) {
        pollBus();
        if (ended_)
            return;
        gint64 pos = 0;
        if (gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) && pos / 100 != start)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void GstMediaEngine::pause() {
    if (!playbin_ || paused_ || !runs())
        return;
    pollBus();
    if (ended_)
        return;  // nothing left to hold
    // The position the listener has reached, so that the frozen reading does
    // not step back behind one already reported.
    gint64 pos = 0;
    if (gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) && pos >= 0)
        lastPosition_ = std::max(lastPosition_, qint64(pos / 100));
    if (gst_element_set_state(playbin_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return;
    paused_ = true;
    waitForState(PlayStartTimeoutMs);
}

void GstMediaEngine::resume() {
    if (!playbin_ || !paused_)
        return;
    const qint64 held = lastPosition_;
    play();
    lastPosition_ = std::max(lastPosition_, held);  // never behind a reading given before
}

bool GstMediaEngine::queryLength() {
    gint64 d = 0;
    if (gst_element_query_duration(playbin_, GST_FORMAT_TIME, &d) && d > 0)
        length_ = d / 100;
    return length_ > 0;
}

qint64 GstMediaEngine::length(MediaHandle h) {
    if (!playbin_ || h != handle_)
        return 0;
    pollBus();
    if (length_ > 0 || queryLength())
        return length_;
    // A stream without a length header (an MP3 without a Xing frame) has its
    // length estimated by the parser only after the first frames played:
    // wait for that once per song.
    if (!lengthWaited_) {
        lengthWaited_ = true;
        GstState state = GST_STATE_NULL;
        gst_element_get_state(playbin_, &state, nullptr, 0);
        const qint64 deadline = nowMs() + LengthWaitMs;
        while (state == GST_STATE_PLAYING && !ended_ && nowMs() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pollBus();
            if (queryLength())
                break;
        }
    }
    return length_;
}

qint64 GstMediaEngine::position(MediaHandle h) {
    if (!playbin_ || h != handle_)
        return 0;
    pollBus();
    if (ended_)
        return lastPosition_;
    if (paused_)
        return lastPosition_;  // held: the reading stands where the pause froze it
    if (joinPending_)
        return ++lastPosition_;  // the song before plays its last samples
    gint64 pos = 0;
    const bool answered = gst_element_query_position(playbin_, GST_FORMAT_TIME, &pos) && pos >= 0;
    if (!runs()) {
        if (answered)
            lastPosition_ = pos / 100;
        return lastPosition_;
    }
    // Playing and not ended: follow the sink, but never read the same twice
    // nor go back. A report that stands still too long is the end.
    const qint64 now = nowMs();
    if (answered && pos / 100 != sinkPosition_) {
        sinkPosition_ = pos / 100;
        sinkStillSinceMs_ = now;
    } else if (now - sinkStillSinceMs_ > StillLimitMs) {
        return lastPosition_;
    }
    lastPosition_ = std::max(answered ? qint64(pos / 100) : 0, lastPosition_ + 1);
    return lastPosition_;
}

// Whether the pipeline is meant to be playing: play() asked for it and no
// stop (or pause) since.
bool GstMediaEngine::runs() const {
    GST_OBJECT_LOCK(playbin_);
    const bool playing = GST_STATE_TARGET(playbin_) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(playbin_);
    return playing;
}

void GstMediaEngine::seek(MediaHandle h, qint64 position) {
    if (!playbin_ || h != handle_)
        return;
    pollBus();  // an end seen before the seek belongs to the old position
    position = std::max<qint64>(0, position);
    if (!gst_element_seek(playbin_, 1.0, GST_FORMAT_TIME,
                          GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                          position * 100, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
        return;
    ended_ = false;
    lastPosition_ = position;  // while paused, the reading stands here
    sinkPosition_ = -1;
    sinkStillSinceMs_ = nowMs();
    waitForState(PlayStartTimeoutMs);
}

void GstMediaEngine::stop() {
    if (!playbin_)
        return;
    endOfferWait();
    gst_element_set_state(playbin_, GST_STATE_PAUSED);
    waitForState(PlayStartTimeoutMs);
    seek(handle_, 0);
    forgetJoin();
    paused_ = false;
    ended_ = false;
    lastPosition_ = 0;
}

void GstMediaEngine::release() {
    endOfferWait();
    feedStopping_ = true;  // a source waiting for the pipe lets go
    if (playbin_) {
        gst_element_set_state(playbin_, GST_STATE_NULL);  // synchronous: the file is closed
        gst_object_unref(playbin_);
    }
    if (bus_)
        gst_object_unref(bus_);
    playbin_ = nullptr;
    bus_ = nullptr;
    sink_ = nullptr;
    gainElement_ = nullptr;
    if (imageSample_)
        gst_sample_unref(imageSample_);
    imageSample_ = nullptr;
    forgetJoin();
    releaseFeed();
    path_.clear();
    handle_ = 0;
    ended_ = false;
    paused_ = false;
    lastPosition_ = 0;
    length_ = 0;
}
