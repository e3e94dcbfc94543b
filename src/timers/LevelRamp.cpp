#include "timers/LevelRamp.h"

#include <algorithm>

#include "base/Clock.h"

bool sleepTimerExpired(int32_t snoozeMinutes, uint32_t now, uint32_t lastActivity) {
    // A negative setting can come only from a hand-edited file; it would stop
    // every song at once, so it counts as off like 0.
    if (snoozeMinutes <= 0) return false;
    return qint64(tickDiff(now, lastActivity)) > qint64(snoozeMinutes) * 60000;
}

double LevelRamp::levelCurve(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x;
}

void LevelRamp::beginRise(uint32_t now, uint32_t lastActivity) {
    rising = true;
    riseStart = now;
    riseActivity = lastActivity;
}

double LevelRamp::level(uint32_t now, uint32_t lastActivity, int32_t snoozeMinutes) {
    double level = 1.0;
    if (rising) {
        const int32_t age = tickDiff(now, riseStart);
        if (lastActivity != riseActivity || age < 0 || age >= RiseMs)
            rising = false;
        else
            level = levelCurve(double(age) / RiseMs);
    }
    // The same reckoning as the stop: the fade ends exactly where it stops.
    if (snoozeMinutes > 0) {
        const qint64 left = qint64(snoozeMinutes) * 60000 - qint64(tickDiff(now, lastActivity));
        if (left < FadeMs) level *= levelCurve(double(std::max<qint64>(left, 0)) / FadeMs);
    }
    return level;
}
