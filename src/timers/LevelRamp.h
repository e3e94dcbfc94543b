#pragma once
// The sleep timer and the two level ramps around it: the fade before the
// sleep timer stops the music and the rise after the alarm starts a song.
#include <cstdint>

// Whether the sleep timer of snoozeMinutes (0 or below: off) has run out at
// tick now, counted from the last activity. Wraps at 32 bits like the tick.
bool sleepTimerExpired(int32_t snoozeMinutes, uint32_t now, uint32_t lastActivity);

// Over the last FadeMs before the sleep timer stops the music, the engines'
// output level falls from 1 to 0; after the alarm's start it rises from 0 to
// 1 over RiseMs. Both follow levelCurve of the part of the period gone and
// end with any activity (a new lastActivity): the level is 1 again at that
// tick. The volume stays as it is.
class LevelRamp {
public:
    static constexpr int32_t FadeMs = 30000;
    static constexpr int32_t RiseMs = 60000;
    // The level at fraction x (0..1) of full: x squared, so that the sound
    // falls evenly to the ear and each tick's step stays far below a jump.
    static double levelCurve(double x);

    // The rise begins at tick now; lastActivity is the activity it belongs to.
    void beginRise(uint32_t now, uint32_t lastActivity);
    // The level the fade and the rise ask for at tick now.
    double level(uint32_t now, uint32_t lastActivity, int32_t snoozeMinutes);

private:
    bool rising = false;
    uint32_t riseStart = 0;     // tick ms
    uint32_t riseActivity = 0;  // lastActivity when the rise began
};
