#pragma once
#include <QString>
#include <functional>

#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"

// The levelling gain of a song: linear, 1.0 = unchanged.
using GainProvider = std::function<double(const QString& path)>;

// Wrap an engine so each song plays at the gain the provider gives for it.
// The gain is asked once when a song is loaded and set before the load, so
// it holds from the song's first sample; it multiplies the output level the
// tick sets (the sleep timer's fade, the alarm's rise). reapply() asks again
// for the song loaded now and applies the answer at once (the switch, or a
// song measured while it plays). UI thread, as the engines.
class LevelledMediaEngine : public MediaEngine {
public:
    LevelledMediaEngine(MediaEngine& inner, GainProvider provider) : inner(inner), provider(std::move(provider)) {}
    void reapply();
    double gain() const { return songGain; }

    bool initialise() override { return inner.initialise(); }
    bool isLoaded() const override { return inner.isLoaded(); }
    MediaHandle load(const QString& path) override;
    bool outputFailed() const override { return inner.outputFailed(); }
    void setTimeUnit(MediaHandle h) override { inner.setTimeUnit(h); }
    void setAudio(int volume, int balance) override { inner.setAudio(volume, balance); }
    void play() override { inner.play(); }
    void pause() override { inner.pause(); }
    void resume() override { inner.resume(); }
    bool paused() const override { return inner.paused(); }
    qint64 length(MediaHandle h) override { return inner.length(h); }
    qint64 position(MediaHandle h) override { return inner.position(h); }
    void seek(MediaHandle h, qint64 position) override { inner.seek(h, position); }
    void stop() override { inner.stop(); }
    void release() override;
    void setOutputLevel(double level) override;
    SongTags tags() override { return inner.tags(); }

private:
    MediaEngine& inner;
    GainProvider provider;
    QString path;
    double level = 1.0;
    double songGain = 1.0;
};

class LevelledModuleEngine : public ModuleEngine {
public:
    LevelledModuleEngine(ModuleEngine& inner, GainProvider provider) : inner(inner), provider(std::move(provider)) {}
    void reapply();
    double gain() const { return songGain; }

    bool initialise() override { return inner.initialise(); }
    bool isLoaded() const override { return inner.isLoaded(); }
    bool load(const QString& path) override;
    void play() override { inner.play(); }
    void pause() override { inner.pause(); }
    void resume() override { inner.resume(); }
    bool paused() const override { return inner.paused(); }
    void setVolume(int volume) override { inner.setVolume(volume); }
    void seek(int ms) override { inner.seek(ms); }
    int currentPattern() const override { return inner.currentPattern(); }
    int currentRow() const override { return inner.currentRow(); }
    void stop() override { inner.stop(); }
    void release() override;
    void setOutputLevel(double level) override;
    QByteArray moduleName() const override { return inner.moduleName(); }

private:
    ModuleEngine& inner;
    GainProvider provider;
    QString path;
    double level = 1.0;
    double songGain = 1.0;
};
