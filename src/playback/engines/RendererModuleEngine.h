#pragma once
#include "playback/engines/ModuleEngine.h"

// The module engine as seen by the player: commands go to a renderer helper
// process (kalvo2-modrender) that owns libmodplug and the output, so a
// damaged module can crash or hang only the renderer.
class RendererModuleEngine : public ModuleEngine {
public:
    RendererModuleEngine();
    ~RendererModuleEngine() override;
    bool initialise() override;
    bool isLoaded() const override;
    bool load(const QString& path) override;
    void play() override;
    void setVolume(int volume) override;
    void seek(int ms) override;
    int currentPattern() const override;
    int currentRow() const override;
    void stop() override;
    void release() override;
};
