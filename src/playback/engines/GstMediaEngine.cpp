#include "playback/engines/GstMediaEngine.h"

GstMediaEngine::GstMediaEngine() = default;
GstMediaEngine::~GstMediaEngine() = default;
bool GstMediaEngine::initialise() { return false; }
bool GstMediaEngine::isLoaded() const { return false; }
MediaHandle GstMediaEngine::load(const QString&) { return 0; }
void GstMediaEngine::setTimeUnit(MediaHandle) {}
void GstMediaEngine::setAudio(int, int) {}
void GstMediaEngine::play() {}
qint64 GstMediaEngine::length(MediaHandle) { return 0; }
qint64 GstMediaEngine::position(MediaHandle) { return 0; }
void GstMediaEngine::seek(MediaHandle, qint64) {}
void GstMediaEngine::stop() {}
void GstMediaEngine::release() {}
