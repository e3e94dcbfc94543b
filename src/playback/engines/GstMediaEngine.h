#pragma once
#include "playback/engines/MediaEngine.h"

// The media engine on GStreamer playbin. The sink comes from
// KALVO2_AUDIO_SINK (gst-launch syntax) or autoaudiosink.
class GstMediaEngine : public MediaEngine {
public:
    GstMediaEngine();
    ~GstMediaEngine() override;
    bool initialise() override;
    bool isLoaded() const override;
    MediaHandle load(const QString& path) override;
    void setTimeUnit(MediaHandle h) override;
    void setAudio(int volume, int balance) override;
    void play() override;
    qint64 length(MediaHandle h) override;
    qint64 position(MediaHandle h) override;
    void seek(MediaHandle h, qint64 position) override;
    void stop() override;
    void release() override;
};
