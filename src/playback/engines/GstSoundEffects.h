#pragma once
#include "playback/engines/SoundEffects.h"

// Short sounds from memory through a small GStreamer pipeline.
class GstSoundEffects : public SoundEffects {
public:
    GstSoundEffects();
    ~GstSoundEffects() override;
    bool initialise() override;
    bool loadFromFile(int number, const QString& path) override;
    bool loadFromMemory(int number, const QByteArray& wav) override;
    bool exists(int number) const override;
    void play(int number) override;
};
