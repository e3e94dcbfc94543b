#include "playback/LoudnessGain.h"

#include <algorithm>
#include <cmath>

double levellingGain(const Loudness& l) {
    const double ceiling = std::pow(10.0, LevellingPeakCeilingDb / 20.0);
    double gain = 1.0;
    if (std::isfinite(l.lufs) && l.lufs > LevellingSilenceLufs)
        gain = std::pow(10.0, (LevellingTargetLufs - l.lufs) / 20.0);
    if (std::isfinite(l.peak) && l.peak > 0.0)
        gain = std::min(gain, ceiling / l.peak);
    if (!std::isfinite(gain) || gain <= 0.0)
        return 1.0;
    return gain;
}

Loudness loudnessFromReplayGain(double trackGainDb, double trackPeak, double referenceDb) {
    // 89 dB SPL is ReplayGain's reference, the same as -18 LUFS; a tag that
    // names another reference shifts the loudness it stands for.
    const double reference = referenceDb > 0.0 ? referenceDb : 89.0;
    Loudness l;
    l.lufs = LevellingTargetLufs + (reference - 89.0) - trackGainDb;
    l.peak = trackPeak > 0.0 ? trackPeak : 0.0;
    return l;
}

Loudness loudnessFromR128(int q78Gain) {
    Loudness l;
    l.lufs = -23.0 - q78Gain / 256.0;
    return l;
}
