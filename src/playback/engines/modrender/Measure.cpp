#include "playback/engines/modrender/Measure.h"

#include <ebur128.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "playback/engines/modrender/ModCore.h"

namespace {

// Longest stretch of audio measured; a longer song is judged by its start.
constexpr double MaxSeconds = 3 * 3600.0;
constexpr std::streamsize MaxModuleBytes = 64 * 1024 * 1024;

struct Options {
    const char* path = nullptr;
    bool module = false;
    int loopLimit = 30;     // pattern repeats the loop guard allows...
    int loopSeconds = 120;  // ...before this many seconds have played
};

// The lowest nice value: what plays, and everything else, comes first.
// (The idle policy would starve the measuring for as long as the machine
// is busy, so a list would never be measured on a loaded machine.)
// KALVO2_MEASURE_NICE (a test hook) sets another nice value.
void lowerPriority() {
    const char* e = std::getenv("KALVO2_MEASURE_NICE");
    setpriority(PRIO_PROCESS, 0, e && *e ? std::atoi(e) : 19);
}

int fail(const char* what, const char* path) {
    std::fprintf(stderr, "kalvo2-modrender: measure: %s: %s\n", what, path);
    return 1;
}

int report(ebur128_state* st, unsigned channels) {
    double lufs = 0;
    if (ebur128_loudness_global(st, &lufs) != EBUR128_SUCCESS)
        return 1;
    double peak = 0;
    for (unsigned c = 0; c < channels; ++c) {
        double p = 0;
        if (ebur128_true_peak(st, c, &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    std::printf("loudness %.3f %.6f\n", std::isfinite(lufs) ? lufs : -999.0, peak);
    return 0;
}

// The loop guard's count: every return to a pattern played before is one
// repeat, counted where the pattern changes or the row goes back.
class LoopCount {
public:
    int step(int pattern, int row) {
        if (pattern != lastPattern || row < lastRow) {
            lastPattern = pattern;
            if (visits[pattern]++ > 0)
                ++repeats;
        }
        lastRow = row;
        return repeats;
    }

private:
    std::map<int, int> visits;
    int lastPattern = -1, lastRow = -1, repeats = 0;
};

int measureModule(const Options& o) {
    std::ifstream in(o.path, std::ios::binary);
    if (!in)
        return fail("cannot read", o.path);
    std::vector<char> data;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (std::streamsize(data.size()) > MaxModuleBytes)
        return fail("too large", o.path);
    ModCore core;
    if (!core.load(data.data(), data.size()))
        return fail("not a module", o.path);
    data.clear();
    ebur128_state* st = ebur128_init(ModCore::Channels, ModCore::SampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!st)
        return fail("no meter", o.path);
    constexpr int Block = 4410;  // 100 ms, the player's tick
    std::vector<int16_t> buf(size_t(Block) * ModCore::Channels);
    LoopCount loops;
    double seconds = 0;
    while (!core.ended() && seconds < MaxSeconds) {
        // The silence after the end fills the last block; the meter's gate
        // leaves it out of the loudness.
        core.render(buf.data(), Block);
        ebur128_add_frames_short(st, buf.data(), Block);
        seconds += double(Block) / ModCore::SampleRate;
        if (loops.step(core.pattern(), core.row()) > o.loopLimit && seconds > o.loopSeconds)
            break;
    }
    const int rc = report(st, ModCore::Channels);
    ebur128_destroy(&st);
    return rc ? fail("nothing to measure", o.path) : 0;
}

struct Tags {
    bool haveGain = false, havePeak = false;
    double gain = 0, peak = 0, reference = 0;
    bool haveR128 = false;
    int r128 = 0;

    void read(const GstTagList* t) {
        double v = 0;
        if (gst_tag_list_get_double(t, GST_TAG_TRACK_GAIN, &v)) { gain = v; haveGain = true; }
        if (gst_tag_list_get_double(t, GST_TAG_TRACK_PEAK, &v)) { peak = v; havePeak = true; }
        if (gst_tag_list_get_double(t, GST_TAG_REFERENCE_LEVEL, &v)) reference = v;
        const guint n = gst_tag_list_get_tag_size(t, GST_TAG_EXTENDED_COMMENT);
        for (guint i = 0; i < n; ++i) {
            const gchar* s = nullptr;
            if (gst_tag_list_peek_string_index(t, GST_TAG_EXTENDED_COMMENT, i, &s) && s &&
                !g_ascii_strncasecmp(s, "R128_TRACK_GAIN=", 16)) {
                r128 = std::atoi(s + 16);
                haveR128 = true;
            }
        }
    }
};

int measureMedia(const Options& o) {
    GError* err = nullptr;
    gchar* uri = gst_filename_to_uri(o.path, &err);
    if (!uri) {
        if (err) g_error_free(err);
        return fail("bad path", o.path);
    }
    GstElement* pipe = gst_parse_launch(
        "uridecodebin name=dec ! audioconvert ! audio/x-raw,format=F32LE,layout=interleaved "
        "! appsink name=sink sync=false max-buffers=16", &err);
    if (!pipe || err) {
        if (err) g_error_free(err);
        g_free(uri);
        return fail("no decoder pipeline", o.path);
    }
    GstElement* dec = gst_bin_get_by_name(GST_BIN(pipe), "dec");
    g_object_set(dec, "uri", uri, nullptr);
    gst_object_unref(dec);
    g_free(uri);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipe), "sink");
    GstBus* bus = gst_element_get_bus(pipe);
    gst_element_set_state(pipe, GST_STATE_PLAYING);

    Tags tags;
    ebur128_state* st = nullptr;
    unsigned channels = 0;
    double seconds = 0, rate = 0;
    bool failed = false;
    for (;;) {
        while (GstMessage* m = gst_bus_pop(bus)) {
            if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR)
                failed = true;
            if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_TAG) {
                GstTagList* t = nullptr;
                gst_message_parse_tag(m, &t);
                tags.read(t);
                gst_tag_list_unref(t);
            }
            gst_message_unref(m);
        }
        if (failed || (tags.haveGain && tags.havePeak) || seconds >= MaxSeconds)
            break;
        GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), GST_SECOND);
        if (!s) {
            if (gst_app_sink_is_eos(GST_APP_SINK(sink)))
                break;
            continue;
        }
        if (!st) {
            const GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(s), 0);
            int c = 0, r = 0;
            gst_structure_get_int(caps, "channels", &c);
            gst_structure_get_int(caps, "rate", &r);
            if (c > 0 && r > 0)
                st = ebur128_init(unsigned(c), unsigned(r), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
            // A mono song is heard on both speakers: measured as such.
            if (st && c == 1)
                ebur128_set_channel(st, 0, EBUR128_DUAL_MONO);
            if (!st) {
                gst_sample_unref(s);
                failed = true;
                break;
            }
            channels = unsigned(c);
            rate = r;
        }
        GstMapInfo map;
        GstBuffer* b = gst_sample_get_buffer(s);
        if (b && gst_buffer_map(b, &map, GST_MAP_READ)) {
            const size_t frames = map.size / (sizeof(float) * channels);
            ebur128_add_frames_float(st, reinterpret_cast<const float*>(map.data), frames);
            seconds += frames / rate;
            gst_buffer_unmap(b, &map);
        }
        gst_sample_unref(s);
    }
    gst_element_set_state(pipe, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(sink);
    gst_object_unref(pipe);

    int rc = 1;
    if (tags.haveGain && tags.havePeak) {
        const double reference = tags.reference > 0 ? tags.reference : 89.0;
        std::printf("loudness %.3f %.6f\n", -18.0 + (reference - 89.0) - tags.gain, tags.peak);
        rc = 0;
    } else if (!failed && st) {
        if (tags.haveR128) {
            // The tag's loudness, with the peak measured here.
            double peak = 0;
            for (unsigned c = 0; c < channels; ++c) {
                double p = 0;
                if (ebur128_true_peak(st, c, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
            }
            std::printf("loudness %.3f %.6f\n", -23.0 - tags.r128 / 256.0, peak);
            rc = 0;
        } else {
            rc = report(st, channels);
        }
    }
    if (st)
        ebur128_destroy(&st);
    return rc ? fail(failed ? "cannot decode" : "nothing to measure", o.path) : 0;
}

}  // namespace

int runMeasureMode(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--measure"))
        return -1;
    Options o;
    o.path = argv[2];
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--module"))
            o.module = true;
        else if (!std::strcmp(argv[i], "--loop-limit") && i + 1 < argc)
            o.loopLimit = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--loop-seconds") && i + 1 < argc)
            o.loopSeconds = std::atoi(argv[++i]);
    }
    lowerPriority();
    if (o.module)
        return measureModule(o);
    gst_init(nullptr, nullptr);
    return measureMedia(o);
}
