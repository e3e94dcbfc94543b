#pragma once
// The sleep timer's fade and the alarm's rise live in LevelRamp.
#include "timers/LevelRamp.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <cstdint>

#include "playback/engines/MediaEngine.h"

class Kalvo;

struct PatternVisit {
    int32_t pattern = 0;
    int32_t visits = 0;
};

// The periodic look at the engines: time display, end of song, loop guard,
// sleep timer with its fade, the alarm's rise, later tags, periodic list
// save. Called once per pass; works at most every 100 ms. UI thread only.
class PlaybackTick {
public:
    explicit PlaybackTick(Kalvo& k) : k(k) {}

    // Time display, end of song, loop guard, sleep timer, periodic quiet
    // save. Returns at once when the last tick is less than 100 ms back.
    void MusCheckPlay();
    // Records that pattern was entered; returns how often a pattern was
    // entered again after its first entry in this song. O(1).
    int32_t LoopZaehlen(int32_t pattern);

    // The alarm calls this right before it starts its song (after it marked
    // the activity): the engines go silent at once and the rise begins.
    void beginRise();
    // The level the sleep timer's fade and the alarm's rise ask for at tick
    // time now (timers/LevelRamp.h).
    double outputLevel(uint32_t now);
    double appliedLevel = 1.0;  // what the engines were last told

    uint32_t lastTickTime = 0;
    QString tickSong;
    uint32_t songStartTime = 0;
    int32_t loopCount = 0;
    int32_t lastPattern = 0;
    int32_t lastRow = 0;
    int32_t sameRowTicks = 0;
    qint64 lastMediaPosition = -1;
    MediaHandle lastMediaHandle = 0;  // the song lastMediaPosition was read from
    QVector<PatternVisit> PatternVisits;

private:
    Kalvo& k;
    QHash<int32_t, int> visitIndex;  // pattern -> its record in PatternVisits
    qint64 repeatTotal = 0;          // sum of visits minus number of records
    bool saveAttempted = false;
    qint64 lastSaveAttempt = 0;      // local seconds of the last periodic save try

    LevelRamp ramp;

    void applyLevel(double level);
    void periodicSave();
    void moduleStep(int32_t age);
    void mediaStep();
    void clearPatternVisits();
};
