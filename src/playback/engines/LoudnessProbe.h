#pragma once
#include <QString>
#include <atomic>
#include <optional>

#include "playback/LoudnessGain.h"

// Measures one file's loudness in a separate, niced renderer process
// ("kalvo2-modrender --measure"): modules rendered as the module engine
// renders them, bounded by the loop guard's rule; everything else decoded
// as the media engine decodes it. A file that crashes or hangs the decoder
// costs only that process. Any thread; blocks until the process ends or
// cancel turns true (then the process is killed).
class LoudnessProbe {
public:
    // renderer: the kalvo2-modrender executable. modulePatterns: the
    // module patterns of the settings ("*.mod;*.xm;..."), a file being a
    // module when its extension occurs in them. Loop guard: more than
    // loopLimit pattern repeats after more than loopSeconds seconds.
    LoudnessProbe(QString renderer, QString modulePatterns, int loopLimit, int loopSeconds);

    std::optional<Loudness> measure(const QString& path, const std::atomic<bool>& cancel) const;
    bool isModule(const QString& path) const;

private:
    QString renderer;
    QString modulePatterns;
    int loopLimit;
    int loopSeconds;
};
