#include "playback/PlaybackTick.h"

#include "shell/Kalvo.h"

void PlaybackTick::MusCheckPlay() {}
int32_t PlaybackTick::LoopZaehlen(int32_t) { return 0; }
