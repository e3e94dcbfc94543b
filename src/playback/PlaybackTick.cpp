#include "playback/PlaybackTick.h"

#include <algorithm>
#include <limits>

#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"
#include "base/Clock.h"
#include "shell/Kalvo.h"
#include "base/MainView.h"

namespace {

constexpr int32_t TickIntervalMs = 100;
constexpr qint64 PeriodicSaveSeconds = 300;
constexpr qint64 FailedSaveRetrySeconds = 60;
constexpr int32_t SameRowTicksForEnd = 20;
constexpr qint64 MediaUnitsPerSecond = 10000000;

}  // namespace

void PlaybackTick::MusCheckPlay() {
    const uint32_t now = k.s.clock.tickMs();
    const int32_t elapsed = tickDiff(now, lastTickTime);
    // A negative difference means the last tick lies more than 2^31 ms back
    // (or never happened): the tick is due, but adds no time.
    if (elapsed >= 0 && elapsed < TickIntervalMs) return;
    PlaybackController& pb = k.playback;
    // A paused song stands where it is: its position does not run on.
    const bool paused = pb.paused();
    if (elapsed > 0 && !paused) {
        const qint64 pos = qint64(pb.positionMs) + elapsed;
        pb.positionMs = int32_t(std::min<qint64>(pos, std::numeric_limits<int32_t>::max()));
    }
    lastTickTime = now;

    if (pb.currentSong.isEmpty()) {
        tickSong.clear();
        applyLevel(1.0);  // nothing plays; the next song starts at full level
        return;
    }

    if (sleepTimerExpired(k.settings.Snooze, now, k.shell.lastActivityTime)) {
        k.shell.LogLine(QStringLiteral("Snooze tritt ein - Musik stoppt"));
        k.shell.ShowSongText(QStringLiteral("Snooze... ZZzzz..."));
        pb.Stoppen();
        applyLevel(1.0);
        return;
    }
    // Before the steps: a song that continuous play starts now begins at
    // the level of the fade or the rise.
    applyLevel(outputLevel(now));

    periodicSave();

    if (tickSong != pb.currentSong) {
        loopCount = 0;
        pb.positionMs = 0;
        tickSong = pb.currentSong;
        songStartTime = now;
        clearPatternVisits();
    }

    if (paused) {
        // Held is neither ended nor stalled nor looping: no end rule, no loop
        // guard, no continuous play. The time held does not count towards the
        // loop guard's playing time, and the readings start afresh at resume.
        if (elapsed > 0) songStartTime += uint32_t(elapsed);
        sameRowTicks = 0;
        lastMediaPosition = -1;
        return;
    }

    const int32_t age = tickDiff(now, songStartTime);

    if (pb.moduleSong == 1) {
        if (k.s.modules.isLoaded()) moduleStep(age);
    } else {
        if (k.s.media.isLoaded()) mediaStep();
    }
}

void PlaybackTick::beginRise() {
    ramp.beginRise(k.s.clock.tickMs(), k.shell.lastActivityTime);
    applyLevel(0.0);
}

double PlaybackTick::outputLevel(uint32_t now) {
    return ramp.level(now, k.shell.lastActivityTime, k.settings.Snooze);
}

void PlaybackTick::applyLevel(double level) {
    if (level == appliedLevel) return;
    appliedLevel = level;
    k.playback.output.setLevel(level);
}

void PlaybackTick::periodicSave() {
    const qint64 local = k.s.clock.localSeconds();
    if (local - k.shell.lastListSave <= PeriodicSaveSeconds) return;
    // A save that failed (or wrote nothing) leaves lastListSave behind; it is
    // tried again after a minute rather than on every tick.
    if (saveAttempted && local - lastSaveAttempt >= 0 && local - lastSaveAttempt < FailedSaveRetrySeconds)
        return;
    saveAttempted = true;
    lastSaveAttempt = local;
    k.library.ListeSpeichern(true);
}

void PlaybackTick::moduleStep(int32_t age) {
    PlaybackController& pb = k.playback;
    if (const MediaHandle joined = k.s.media.takeJoined()) {
        // The song that follows in the output's stream is heard now.
        pb.joinContinuation(joined);
        return;
    }
    pb.prepareContinuation();
    ModuleEngine& engine = k.s.modules;
    const int32_t pattern = engine.currentPattern();
    const int32_t row = engine.currentRow();

    if (pattern != lastPattern || row < lastRow) {
        lastPattern = pattern;
        loopCount = LoopZaehlen(pattern);
        if (loopCount > k.settings.LoopoutTM && qint64(age) > qint64(k.settings.TimeoutTM) * 1000) {
            if (k.settings.FortwAbspielen) {
                // The next song shows its own fields from the next tick on.
                pb.MusNext();
                return;
            }
            engine.stop();
            pb.halted = true;
            k.shell.ShowSongText(filePart(pb.currentSong) +
                                 QStringLiteral(" gestoppt - mögliches Loop!"));
        }
    }

    k.s.view.setTimeText(timeText(pb.positionMs / 1000));
    k.s.view.setPositionText(QStringLiteral("L%1 %2/%3").arg(loopCount).arg(pattern).arg(row));

    if (row == lastRow) {
        ++sameRowTicks;
    } else {
        sameRowTicks = 0;
        lastRow = row;
    }
    if (sameRowTicks > SameRowTicksForEnd) {
        // Counting starts afresh, so the song that follows is not taken as
        // ended when its first row happens to equal the frozen one.
        sameRowTicks = 0;
        if (k.settings.FortwAbspielen) {
            // At the end of the list nothing starts and the song stays halted.
            pb.halted = true;
            pb.MusNext();
        } else {
            pb.Stoppen();
        }
    }
}

void PlaybackTick::mediaStep() {
    PlaybackController& pb = k.playback;
    if (const MediaHandle joined = k.s.media.takeJoined()) {
        // The next song of continuous play is heard now: its fields follow
        // from the next look on.
        pb.joinContinuation(joined);
        return;
    }
    pb.takeTags();
    // A reading is compared only with one of the same song: a song started
    // just now may read what the song before read last (a sink that reports
    // in whole buffers), and must not be taken as ended for it.
    if (pb.mediaHandle != lastMediaHandle) {
        lastMediaHandle = pb.mediaHandle;
        lastMediaPosition = -1;
    }
    const qint64 position = k.s.media.position(pb.mediaHandle);
    // Some streams (an MP3 without a length header) tell their length only
    // once they play, or correct it later.
    const qint64 length = k.s.media.length(pb.mediaHandle);
    if (length != pb.mediaLength) {
        pb.mediaLength = length;
        k.s.view.setTimeText(timeText(length / MediaUnitsPerSecond));
    }
    if (position != lastMediaPosition) {
        lastMediaPosition = position;
        pb.halted = false;
        k.s.view.setPositionText(timeText(position / MediaUnitsPerSecond));
        pb.prepareContinuation();
    } else {
        // Ended. A start of the next song clears the mark again; at the end
        // of the list, or without continuous play, the song stays halted.
        pb.halted = true;
        if (k.settings.FortwAbspielen) pb.MusNext();
    }
}

void PlaybackTick::clearPatternVisits() {
    PatternVisits.clear();
    visitIndex.clear();
    repeatTotal = 0;
}

int32_t PlaybackTick::LoopZaehlen(int32_t pattern) {
    // The index mirrors PatternVisits; rebuild it if the list was changed
    // from outside.
    if (visitIndex.size() != PatternVisits.size()) {
        visitIndex.clear();
        repeatTotal = 0;
        for (int i = 0; i < PatternVisits.size(); ++i) {
            const PatternVisit& v = PatternVisits[i];
            if (!visitIndex.contains(v.pattern)) visitIndex.insert(v.pattern, i);
            repeatTotal += qint64(v.visits) - 1;
        }
    }
    const auto it = visitIndex.constFind(pattern);
    if (it != visitIndex.constEnd()) {
        PatternVisit& v = PatternVisits[it.value()];
        if (v.visits < std::numeric_limits<int32_t>::max()) {
            ++v.visits;
            ++repeatTotal;
        }
    } else {
        visitIndex.insert(pattern, int(PatternVisits.size()));
        PatternVisits.append(PatternVisit{pattern, 1});
    }
    return int32_t(std::clamp<qint64>(repeatTotal, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
}
