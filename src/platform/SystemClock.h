#pragma once
#include <QElapsedTimer>

#include "base/Clock.h"

// The real clock: a monotonic millisecond tick and the local wall clock.
class SystemClock : public Clock {
public:
    SystemClock();
    uint32_t tickMs() override;
    qint64 localSeconds() override;
    void sleepMs(int ms) override;
private:
    QElapsedTimer timer;
};
