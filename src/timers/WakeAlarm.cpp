#include "timers/WakeAlarm.h"

#include "base/Clock.h"
#include "shell/Kalvo.h"

namespace {

// Floor division, so that times before 1970 still give hours 0..23.
qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int32_t localHour(qint64 seconds) { return int32_t(floorDiv(seconds, 3600) - floorDiv(seconds, 86400) * 24); }
int32_t localMinute(qint64 seconds) { return int32_t(floorDiv(seconds, 60) - floorDiv(seconds, 3600) * 60); }

void WakeAlarm::WeckenPruefen() {
    if (!k.settings.GWecken) return;
    // Re-arming comes first: re-arming after a firing would let the alarm
    // fire a second time in the same minute.
    if (armedHour != k.settings.GWeckenH || armedMinute != k.settings.GWeckenM) {
        armedHour = k.settings.GWeckenH;
        armedMinute = k.settings.GWeckenM;
        alarmFiredAt = 0;
    }
    const qint64 now = k.s.clock.localSeconds();
    if (localHour(now) == k.settings.GWeckenH && localMinute(now) == k.settings.GWeckenM &&
        alarmFiredAt + 61 < now) {
        alarmFiredAt = now;
        k.shell.lastActivityTime = k.s.clock.tickMs();
        k.tick.beginRise();  // silent from the first sample on, then rising
        k.playback.Spielen(QString());
        k.shell.LogLine(QStringLiteral("Wecken ist eingetreten"));
    }
}
