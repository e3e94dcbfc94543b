#pragma once
#include <QString>
#include <QVector>
#include <cstdint>

class Kalvo;

struct PatternVisit {
    int32_t pattern = 0;
    int32_t visits = 0;
};

// The periodic look at the engines: time display, end of song, loop guard,
// sleep timer, periodic list save. Called once per pass; works at most every
// 100 ms. UI thread only.
class PlaybackTick {
public:
    explicit PlaybackTick(Kalvo& k) : k(k) {}

    void MusCheckPlay();
    int32_t LoopZaehlen(int32_t pattern);

    uint32_t lastTickTime = 0;
    QString tickSong;
    uint32_t songStartTime = 0;
    int32_t loopCount = 0;
    int32_t lastPattern = 0;
    int32_t lastRow = 0;
    int32_t sameRowTicks = 0;
    qint64 lastMediaPosition = -1;
    QVector<PatternVisit> PatternVisits;

private:
    Kalvo& k;
};
