#pragma once
#include <QtGlobal>
#include <cstdint>

class Kalvo;

// The daily wake alarm; checked once per pass right after the tick.
// (The sleep timer runs inside the playback tick.)
class WakeAlarm {
public:
    explicit WakeAlarm(Kalvo& k) : k(k) {}
    void WeckenPruefen();

    qint64 alarmFiredAt = 0;  // local seconds
    int32_t armedHour = 0;
    int32_t armedMinute = 0;

private:
    Kalvo& k;
};
