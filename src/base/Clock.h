#pragma once
#include <QtGlobal>
#include <cstdint>

// Time as the player sees it. The tick is a 32-bit millisecond counter that
// wraps like the system tick: compare two ticks only by their signed
// difference (tickDiff). Calendar time is counted on the local wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed start; wraps after 2^32 ms. Never blocks.
    virtual uint32_t tickMs() = 0;
    // Seconds since 1970-01-01 00:00:00 counted on the local wall clock
    // (no time-zone conversion). Never blocks.
    virtual qint64 localSeconds() = 0;
    // Blocks the calling thread for ms milliseconds (a fake clock advances).
    virtual void sleepMs(int ms) = 0;
};

// Signed 32-bit difference a - b of two ticks, correct across a wrap.
inline int32_t tickDiff(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }
