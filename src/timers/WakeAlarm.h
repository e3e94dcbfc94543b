#pragma once
#include <QtGlobal>
#include <cstdint>

class Kalvo;

// The daily wake alarm; checked once per pass right after the tick.
// (The sleep timer runs inside the playback tick.)
class WakeAlarm {
public:
    explicit WakeAlarm(Kalvo& k) : k(k) {}
    // Starts the resume song once when the local time reaches GWeckenH:GWeckenM
    // (if GWecken is on); re-arms when the alarm time changes. Never blocks
    // except for a message box shown by the start.
    void WeckenPruefen();

    qint64 alarmFiredAt = 0;  // local seconds
    int32_t armedHour = 0;
    int32_t armedMinute = 0;

private:
    Kalvo& k;
};

// Hour 0..23 and minute 0..59 of a count of local wall-clock seconds.
int32_t localHour(qint64 seconds);
int32_t localMinute(qint64 seconds);
