#include "playback/engines/GstTagReader.h"

#include <algorithm>
#include <gst/gst.h>

void takeGstTags(GstMessage* m, SongTags& tags, GstSample*& image) {
    GstTagList* list = nullptr;
    gst_message_parse_tag(m, &list);
    if (!list)
        return;
    bool changed = false;
    const auto text = [&](const char* tag, QByteArray& into) {
        const gchar* s = nullptr;
        if (!gst_tag_list_peek_string_index(list, tag, 0, &s) || !s)
            return;
        const QByteArray v(s, qsizetype(qstrnlen(s, size_t(SongTags::MaxTextBytes))));
        if (v != into) {
            into = v;
            changed = true;
        }
    };
    text(GST_TAG_TITLE, tags.title);
    text(GST_TAG_ALBUM, tags.album);
    const int artists = std::min<int>(int(gst_tag_list_get_tag_size(list, GST_TAG_ARTIST)), SongTags::MaxArtists);
    if (artists > 0) {
        QList<QByteArray> names;
        for (int i = 0; i < artists; ++i) {
            const gchar* a = nullptr;
            if (gst_tag_list_peek_string_index(list, GST_TAG_ARTIST, guint(i), &a) && a)
                names << QByteArray(a, qsizetype(qstrnlen(a, size_t(SongTags::MaxTextBytes))));
        }
        if (names != tags.artists) {
            tags.artists = names;
            changed = true;
        }
    }
    guint track = 0;
    if (gst_tag_list_get_uint(list, GST_TAG_TRACK_NUMBER, &track) && track > 0 && track <= 100000 &&
        int(track) != tags.trackNumber) {
        tags.trackNumber = int(track);
        changed = true;
    }
    GstSample* sample = nullptr;
    if (!gst_tag_list_get_sample_index(list, GST_TAG_IMAGE, 0, &sample))
        gst_tag_list_get_sample_index(list, GST_TAG_PREVIEW_IMAGE, 0, &sample);
    if (sample && sample != image) {
        // The same image travels in the tags of every element on its way:
        // it is copied once.
        if (image)
            gst_sample_unref(image);
        image = gst_sample_ref(sample);
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        const gsize size = buffer ? gst_buffer_get_size(buffer) : 0;
        tags.imageTooLarge = size > gsize(SongTags::MaxImageBytes);
        tags.image.clear();
        if (size > 0 && !tags.imageTooLarge) {
            tags.image.resize(qsizetype(size));
            gst_buffer_extract(buffer, 0, tags.image.data(), size);
        }
        changed = true;
    }
    if (sample)
        gst_sample_unref(sample);
    gst_tag_list_unref(list);
    if (changed)
        ++tags.revision;
}
