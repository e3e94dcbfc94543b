#include "playback/OutputStage.h"

#include <QtDebug>
#include <algorithm>
#include <cmath>

#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"

void OutputStage::setGainProvider(GainProvider provider) {
    provider_ = std::move(provider);
    nextSong_.clear();  // its gain came from the provider before
}

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
    // The song offered to follow was asked for when it was offered.
    const bool known = !path.isEmpty() && path == nextSong_;
    song_ = path;
    applyGain(known ? nextGain_ : ask(path));
    nextSong_.clear();
    return gain_;
}

void OutputStage::prepareNext(const QString& path) {
    nextSong_ = path;
    nextGain_ = path.isEmpty() ? 1.0 : path == song_ ? gain_ : ask(path);
    if (!path.isEmpty())
        media.setNextGain(nextGain_);
}

void OutputStage::refreshGain() {
    if (!song_.isEmpty())
        applyGain(ask(song_));
    if (!nextSong_.isEmpty())
        prepareNext(nextSong_);
}

void OutputStage::forgetSong() {
    song_.clear();
    nextSong_.clear();
}

void OutputStage::setLevel(double level) {
    level_ = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 1.0;
    media.setOutputLevel(level_);
    modules.setOutputLevel(level_);
}
