#pragma once
// A player on fakes with helpers to fill SongList directly and to drive the
// tick in 100 ms steps.
#include <gtest/gtest.h>

#include "fakes/Fakes.h"

class PlayerFixture : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    PlaybackController& pb = k.playback;
    SongList& songs = k.library.songList;

    // Appends an entry; the caller keeps the order the test needs.
    void add(const QString& path, int32_t key = 0, int32_t presence = 1000) {
        songs.append(SongEntry{path, key, presence});
    }
    // Advances the fake clock by 100 ms and runs one tick.
    void tick(int ms = 100) {
        t.clock.advance(ms);
        k.tick.MusCheckPlay();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) tick();
    }
    int count(const QStringList& calls, const QString& call) const { return int(calls.count(call)); }
    // A list file below the temporary folder that the quiet saves can write.
    QString prepareListFile() {
        k.library.listFileName = t.path("Liste.txt");
        k.library.pathList.append(t.path("music/"));
        return k.library.listFileName;
    }
};
