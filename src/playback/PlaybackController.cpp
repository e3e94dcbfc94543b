#include "playback/PlaybackController.h"

#include "shell/Kalvo.h"

bool PlaybackController::LiedBestimmen(const QString&) { return false; }
bool PlaybackController::Spielen(const QString&) { return false; }
void PlaybackController::Stoppen() {}
void PlaybackController::MusNext() {}
void PlaybackController::MusPrev() {}
void PlaybackController::VorwaertsSpringen() {}
void PlaybackController::ZurueckSpringen() {}
void PlaybackController::Lautstaerke(int32_t) {}
void PlaybackController::LoeschTon() {}
QString timeText(qint64) { return {}; }
