#include "playback/engines/GstSoundEffects.h"

GstSoundEffects::GstSoundEffects() = default;
GstSoundEffects::~GstSoundEffects() = default;
bool GstSoundEffects::initialise() { return false; }
bool GstSoundEffects::loadFromFile(int, const QString&) { return false; }
bool GstSoundEffects::loadFromMemory(int, const QByteArray&) { return false; }
bool GstSoundEffects::exists(int) const { return false; }
void GstSoundEffects::play(int) {}
