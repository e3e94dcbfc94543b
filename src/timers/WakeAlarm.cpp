#include "timers/WakeAlarm.h"

#include "shell/Kalvo.h"

void WakeAlarm::WeckenPruefen() {}
