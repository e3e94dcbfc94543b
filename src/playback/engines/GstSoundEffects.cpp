#include "playback/engines/GstSoundEffects.h"

#include <QFile>
#include <QtDebug>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace {

const char* rawFormat(const WavSound& w) {
    if (w.format == 3)
        return "F32LE";
    switch (w.bitsPerSample) {
    case 8:
        return "U8";
    case 16:
        return "S16LE";
    case 24:
        return "S24LE";
    default:
        return "S32LE";
    }
}

void stopPipeline(GstElement* p) {
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
}

}  // namespace

GstSoundEffects::GstSoundEffects() = default;

GstSoundEffects::~GstSoundEffects() {
    for (GstElement* p : active_)
        stopPipeline(p);
}

bool GstSoundEffects::initialise() {
    if (!gst_init_check(nullptr, nullptr, nullptr))
        return false;
    for (const char* name : {"appsrc", "audioconvert", "audioresample"}) {
        GstElementFactory* f = gst_element_factory_find(name);
        if (!f)
            return false;
        gst_object_unref(f);
    }
    return true;
}

bool GstSoundEffects::loadFromFile(int number, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > MaxFileBytes)
        return false;
    return loadFromMemory(number, f.readAll());
}

bool GstSoundEffects::loadFromMemory(int number, const QByteArray& wav) {
    WavSound s;
    if (!parseWav(wav, s))
        return false;
    sounds_.insert(number, s);
    return true;
}

bool GstSoundEffects::exists(int number) const { return sounds_.contains(number); }

void GstSoundEffects::collectFinished() {
    for (int i = active_.size() - 1; i >= 0; --i) {
        GstBus* bus = gst_element_get_bus(active_[i]);
        GstMessage* m = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        gst_object_unref(bus);
        if (m) {
            gst_message_unref(m);
            stopPipeline(active_[i]);
            active_.remove(i);
        }
    }
}

void GstSoundEffects::play(int number) {
    collectFinished();
    const auto it = sounds_.constFind(number);
    if (it == sounds_.constEnd() || !gst_is_initialized())
        return;
    while (active_.size() >= MaxActive) {
        stopPipeline(active_.front());
        active_.removeFirst();
    }
    const WavSound& s = *it;
    QByteArray sink = qgetenv("KALVO2_AUDIO_SINK");
    if (sink.isEmpty())
        sink = "autoaudiosink";
    const QByteArray desc = "appsrc name=src format=time ! audioconvert ! audioresample ! " + sink;
    GError* err = nullptr;
    GstElement* p = gst_parse_launch(desc.constData(), &err);
    if (err) {
        qWarning().noquote() << "SoundEffects: cannot build the output:" << err->message;
        g_error_free(err);
        if (p)
            gst_object_unref(p);
        return;
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(p), "src");
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, rawFormat(s), "rate", G_TYPE_INT,
                                        s.sampleRate, "channels", G_TYPE_INT, s.channels, "layout",
                                        G_TYPE_STRING, "interleaved", nullptr);
    if (s.channels > 2)
        gst_caps_set_simple(caps, "channel-mask", GST_TYPE_BITMASK, guint64(0), nullptr);
    gst_app_src_set_caps(GST_APP_SRC(src), caps);
    gst_caps_unref(caps);
    GstBuffer* buf = gst_buffer_new_memdup(s.data.constData(), gsize(s.data.size()));
    GST_BUFFER_PTS(buf) = 0;
    GST_BUFFER_DURATION(buf) =
        gst_util_uint64_scale(guint64(s.data.size() / s.blockAlign), GST_SECOND, guint64(s.sampleRate));
    gst_app_src_push_buffer(GST_APP_SRC(src), buf);
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
    if (gst_element_set_state(p, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        stopPipeline(p);
        return;
    }
    active_.append(p);
}
