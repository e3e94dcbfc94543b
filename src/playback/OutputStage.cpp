#include "playback/OutputStage.h"

#include <QtDebug>
#include <algorithm>
#include <cmath>

#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"

void OutputStage::setGainProvider(GainProvider provider) { provider_ = std::move(provider); }

double OutputStage::ask(const QString& path) const {
    if (!provider_)
        return 1.0;
    const double g = provider_(path);
    if (!std::isfinite(g) || g < 0.0) {
        // A broken answer must not silence or blast the song: unchanged.
        qWarning().noquote() << "OutputStage: gain" << g << "for" << path << "ignored";
        return 1.0;
    }
    return std::min(g, MaxGain);
}

void OutputStage::applyGain(double gain) {
    gain_ = gain;
    media.setGain(gain);
    modules.setGain(gain);
}

double OutputStage::prepareSong(const QString& path) {
    song_ = path;
    applyGain(ask(path));
    return gain_;
}

void OutputStage::prepareNext(const QString& path) { media.setNextGain(ask(path)); }

void OutputStage::refreshGain() {
    if (!song_.isEmpty())
        applyGain(ask(song_));
}

void OutputStage::forgetSong() { song_.clear(); }

void OutputStage::setLevel(double level) {
    level_ = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 1.0;
    media.setOutputLevel(level_);
    modules.setOutputLevel(level_);
}
