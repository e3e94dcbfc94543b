#pragma once
#include <QString>
#include <cstdint>
#include "playback/engines/MediaEngine.h"

class Kalvo;

// Which song is current, which engine plays it, and the transport commands.
// UI thread only.
class PlaybackController {
public:
    explicit PlaybackController(Kalvo& k) : k(k) {}

    QString currentSong;    // empty: no song
    QString lastSongPath;   // resume point in path order
    int32_t lastSongKey = 0;  // resume point in random order; 0 = none
    QString offeredSong;
    uint8_t moduleSong = 0;
    MediaHandle mediaHandle = 0;
    int32_t volume = 50;
    int32_t positionMs = 0;

    bool LiedBestimmen(const QString& path);
    bool Spielen(const QString& path);
    void Stoppen();
    void MusNext();
    void MusPrev();
    void VorwaertsSpringen();
    void ZurueckSpringen();
    void Lautstaerke(int32_t delta);
    void LoeschTon();

private:
    Kalvo& k;
};

// "%hh:%ii:%ss" of a count of seconds, wrapping at a day.
QString timeText(qint64 seconds);
