#include "playback/engines/GstAudioSink.h"

#include <QByteArray>
#include <QtDebug>
#include <gst/gst.h>

namespace {

GstElement* makeDeviceSink() {
    const QByteArray desc = qgetenv("KALVO2_AUDIO_SINK");
    if (!desc.isEmpty()) {
        GError* err = nullptr;
        GstElement* bin = gst_parse_bin_from_description(desc.constData(), TRUE, &err);
        if (err) {
            qWarning().noquote() << "MediaEngine: KALVO2_AUDIO_SINK:" << err->message;
            g_error_free(err);
            if (bin)
                gst_object_unref(bin);
            bin = nullptr;
        }
        if (bin)
            return bin;
    }
    return gst_element_factory_make("autoaudiosink", nullptr);
}

}  // namespace

GstElement* makeGstAudioSink() {
    GstElement* device = makeDeviceSink();
    if (!device)
        return nullptr;
    GstElement* bin = gst_bin_new("output");
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* gain = gst_element_factory_make("audioamplify", GainElementName);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* format = gst_element_factory_make("capsfilter", nullptr);
    if (!convert || !gain || !resample || !format) {
        for (GstElement* e : {bin, convert, gain, resample, format, device})
            if (e)
                gst_object_unref(e);
        return nullptr;
    }
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT,
                                        OutputRate, "channels", G_TYPE_INT, OutputChannels, "layout",
                                        G_TYPE_STRING, "interleaved", nullptr);
    g_object_set(format, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(bin), convert, gain, resample, format, device, nullptr);
    gst_element_link_many(convert, gain, resample, format, device, nullptr);
    GstPad* in = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", in));
    gst_object_unref(in);
    return bin;
}

bool gstAudioOutputOpens() {
    GstElement* sink = makeDeviceSink();
    if (!sink)
        return false;
    const bool ok = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return ok;
}
