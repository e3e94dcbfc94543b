#include "playback/LevelledEngines.h"

#include <cmath>

namespace {
double checked(double g) { return std::isfinite(g) && g >= 0.0 ? g : 1.0; }
}  // namespace

MediaHandle LevelledMediaEngine::load(const QString& p) {
    songGain = provider ? checked(provider(p)) : 1.0;
    inner.setOutputLevel(level * songGain);
    const MediaHandle h = inner.load(p);
    path = h ? p : QString();
    return h;
}

void LevelledMediaEngine::release() {
    inner.release();
    path.clear();
}

void LevelledMediaEngine::setOutputLevel(double l) {
    level = l;
    inner.setOutputLevel(level * songGain);
}

void LevelledMediaEngine::reapply() {
    if (path.isEmpty() || !inner.isLoaded())
        return;
    songGain = provider ? checked(provider(path)) : 1.0;
    inner.setOutputLevel(level * songGain);
}

bool LevelledModuleEngine::load(const QString& p) {
    songGain = provider ? checked(provider(p)) : 1.0;
    inner.setOutputLevel(level * songGain);
    const bool ok = inner.load(p);
    path = ok ? p : QString();
    return ok;
}

void LevelledModuleEngine::release() {
    inner.release();
    path.clear();
}

void LevelledModuleEngine::setOutputLevel(double l) {
    level = l;
    inner.setOutputLevel(level * songGain);
}

void LevelledModuleEngine::reapply() {
    if (path.isEmpty() || !inner.isLoaded())
        return;
    songGain = provider ? checked(provider(path)) : 1.0;
    inner.setOutputLevel(level * songGain);
}
