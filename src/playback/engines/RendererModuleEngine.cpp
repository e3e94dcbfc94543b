#include "playback/engines/RendererModuleEngine.h"

RendererModuleEngine::RendererModuleEngine() = default;
RendererModuleEngine::~RendererModuleEngine() = default;
bool RendererModuleEngine::initialise() { return false; }
bool RendererModuleEngine::isLoaded() const { return false; }
bool RendererModuleEngine::load(const QString&) { return false; }
void RendererModuleEngine::play() {}
void RendererModuleEngine::setVolume(int) {}
void RendererModuleEngine::seek(int) {}
int RendererModuleEngine::currentPattern() const { return 0; }
int RendererModuleEngine::currentRow() const { return 0; }
void RendererModuleEngine::stop() {}
void RendererModuleEngine::release() {}
