#pragma once
#include <QMap>
#include <QVector>

#include "playback/WavParser.h"
#include "playback/engines/SoundEffects.h"

typedef struct _GstElement GstElement;

// Short sounds from memory through a small GStreamer pipeline
// (appsrc ! audioconvert ! audioresample ! sink; the sink from
// KALVO2_AUDIO_SINK or autoaudiosink). Sounds are parsed by parseWav, so a
// damaged WAV never reaches a decoder. play() starts a pipeline and returns;
// finished pipelines are collected on the next play and at destruction.
// UI thread only.
class GstSoundEffects : public SoundEffects {
public:
    GstSoundEffects();
    ~GstSoundEffects() override;
    bool initialise() override;
    bool loadFromFile(int number, const QString& path) override;
    bool loadFromMemory(int number, const QByteArray& wav) override;
    bool exists(int number) const override;
    void play(int number) override;

    // Pipelines started and not yet collected (for tests).
    int activeCount() const { return int(active_.size()); }
    // Collects the pipelines that have finished; never waits.
    void collectFinished();

    static constexpr int MaxActive = 4;
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

private:
    QMap<int, WavSound> sounds_;
    QVector<GstElement*> active_;
};
