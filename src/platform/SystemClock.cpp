#include "platform/SystemClock.h"

#include <QDateTime>
#include <QThread>

SystemClock::SystemClock() { timer.start(); }

uint32_t SystemClock::tickMs() {
    // Start away from 0 so that a tick of 0 never means "just started".
    return static_cast<uint32_t>(timer.elapsed() + 1000);
}

qint64 SystemClock::localSeconds() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toSecsSinceEpoch() + now.offsetFromUtc();
}

void SystemClock::sleepMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }
