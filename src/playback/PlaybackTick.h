#pragma once
#include <QHash>
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

    // Time display, end of song, loop guard, sleep timer, periodic quiet
    // save. Returns at once when the last tick is less than 100 ms back.
    void MusCheckPlay();
    // Records that pattern was entered; returns how often a pattern was
    // entered again after its first entry in this song. O(1).
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
    QHash<int32_t, int> visitIndex;  // pattern -> its record in PatternVisits
    qint64 repeatTotal = 0;          // sum of visits minus number of records
    bool saveAttempted = false;
    qint64 lastSaveAttempt = 0;      // local seconds of the last periodic save try

    bool sleepTimerExpired(uint32_t now) const;
    void periodicSave();
    void moduleStep(int32_t age);
    void mediaStep();
    void clearPatternVisits();
};
