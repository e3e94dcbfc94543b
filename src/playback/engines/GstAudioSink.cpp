#include "playback/engines/GstAudioSink.h"

#include <QByteArray>
#include <QtDebug>
#include <gst/gst.h>

GstElement* makeGstAudioSink() {
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

bool gstAudioOutputOpens() {
    GstElement* sink = makeGstAudioSink();
    if (!sink)
        return false;
    const bool ok = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return ok;
}
