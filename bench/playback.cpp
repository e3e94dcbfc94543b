// Costs of the playback logic on a large list, on fakes: one tick, one
// determination of the resume song, one "next song". Each figure is printed
// with a baseline measured in the same run and the ratio.
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "fakes/Fakes.h"

namespace {

using Steady = std::chrono::steady_clock;

double nsSince(Steady::time_point t0) {
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - t0).count());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A list sorted by lower-cased path, every fifth entry absent.
void fillList(Kalvo& k, int n, const QString& root = QStringLiteral("/home/hoerer/Musik/")) {
    SongList& list = k.library.songList;
    list.clear();
    for (int i = 0; i < n; ++i) {
        const QString path = (root + QStringLiteral("Interpret %1/Album %2/Titel %3 - Lied.mp3"))
                                 .arg(i / 100, 5, 10, QLatin1Char('0'))
                                 .arg((i / 10) % 10)
                                 .arg(i, 6, 10, QLatin1Char('0'));
        list.append(SongEntry{path, i + 1, i % 5 == 4 ? -1 : 4000000});
    }
}

struct Figure {
    const char* name;
    double value;     // ns
    const char* baseName;
    double baseline;  // ns
};

void print(const Figure& f) {
    std::printf("%-44s %12.1f us   baseline %-34s %10.1f us   ratio %8.2f\n", f.name, f.value / 1000.0,
                f.baseName, f.baseline / 1000.0, f.baseline > 0 ? f.value / f.baseline : 0.0);
}

// Median cost of one working tick while a media song plays (position moves).
double tickMedia(TestKalvo& t, int calls) {
    Kalvo& k = *t.k;
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        t.clock.advance(100);
        t.media.pos += 1000000;
        const auto t0 = Steady::now();
        k.tick.MusCheckPlay();
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

// Median cost of one working tick while a module plays through 64 patterns.
double tickModule(TestKalvo& t, int calls) {
    Kalvo& k = *t.k;
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        t.clock.advance(100);
        t.modules.pattern = (i / 8) % 64;
        t.modules.row = i % 8;
        const auto t0 = Steady::now();
        k.tick.MusCheckPlay();
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

// The least a working tick must do: one position query and one field update.
double bareDisplay(TestKalvo& t, int calls) {
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        t.media.pos += 1000000;
        const auto t0 = Steady::now();
        const qint64 p = t.media.position(1);
        t.view.setPositionText(timeText(p / 10000000));
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

// A plain walk of the list comparing each path: the least a determination does.
double plainWalk(Kalvo& k, const QString& target, int reps) {
    std::vector<double> samples;
    volatile int sink = 0;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = Steady::now();
        int found = -1;
        const QVector<SongEntry>& items = k.library.songList.raw();
        for (int i = 0; i < items.size(); ++i)
            if (items[i].presence > 0 && items[i].filePath == target) { found = i; break; }
        sink = sink + found;
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

// Median cost of one working tick while an ended media song stands on the
// last entry with Repeat off: every tick asks for the next song.
double tickAtTheEnd(TestKalvo& t, int calls) {
    Kalvo& k = *t.k;
    k.settings.FortwAbspielen = 1;
    k.settings.Repeat = 0;
    const SongList& list = k.library.songList;
    k.playback.lastSongPath = list.at(list.size() - 1).filePath;
    k.playback.Spielen(QString());
    t.media.pos = 1000000;
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        t.clock.advance(100);
        const auto t0 = Steady::now();
        k.tick.MusCheckPlay();
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

double determination(Kalvo& k, const QString& resume, int reps) {
    std::vector<double> samples;
    for (int r = 0; r < reps; ++r) {
        k.playback.lastSongPath = resume;
        const auto t0 = Steady::now();
        k.playback.LiedBestimmen(QString());
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

double nextSong(TestKalvo& t, const QString& resume, int reps) {
    Kalvo& k = *t.k;
    std::vector<double> samples;
    for (int r = 0; r < reps; ++r) {
        k.playback.lastSongPath = resume;
        t.media.calls.clear();
        const auto t0 = Steady::now();
        k.playback.MusNext();
        samples.push_back(nsSince(t0));
    }
    return median(samples);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int sizes[] = {1000, 100000};
    std::printf("playback logic on fakes (medians)\n");
    for (int n : sizes) {
        TestKalvo t;
        Kalvo& k = *t.k;
        fillList(k, n);
        k.library.listFileName = t.path("Liste.txt");
        k.shell.lastListSave = t.clock.local;
        const QString middle = k.library.songList.at(n / 2).filePath;
        const QString last = k.library.songList.at(n - 2).filePath;
        std::printf("-- list of %d songs\n", n);

        const double base = bareDisplay(t, 20001);
        k.playback.lastSongPath = middle;
        k.playback.Spielen(QString());
        // Keep the periodic save away: these figures are for ticks without one.
        const double media = tickMedia(t, 2001);
        k.shell.lastListSave = t.clock.local;
        print({"MusCheckPlay, media song", media, "position query + field update", base});

        k.settings.LoopoutTM = 2147483647;  // measure the loop count, not a song change
        k.playback.Spielen(QStringLiteral("/m/x.mod"));
        t.modules.playing = true;
        const double module = tickModule(t, 2001);
        k.shell.lastListSave = t.clock.local;
        print({"MusCheckPlay, module song", module, "position query + field update", base});

        std::vector<double> idle;
        for (int i = 0; i < 20001; ++i) {
            const auto t0 = Steady::now();
            k.tick.MusCheckPlay();  // within 100 ms of the last: returns at once
            idle.push_back(nsSince(t0));
        }
        print({"MusCheckPlay, within 100 ms", median(idle), "position query + field update", base});
        const double atEnd = tickAtTheEnd(t, n > 10000 ? 201 : 2001);
        k.shell.lastListSave = t.clock.local;
        print({"MusCheckPlay, ended at the end of the list", atEnd, "position query + field update", base});

        const int reps = n > 10000 ? 31 : 301;
        const double walkMiddle = plainWalk(k, middle, reps);
        const double walkLast = plainWalk(k, last, reps);
        print({"LiedBestimmen, resume in the middle", determination(k, middle, reps), "plain walk to it", walkMiddle});
        print({"LiedBestimmen, resume near the end", determination(k, last, reps), "plain walk to it", walkLast});
        const QString vanished = middle + QStringLiteral("x");
        print({"LiedBestimmen, resume song vanished", determination(k, vanished, reps), "plain walk to middle",
               walkMiddle});
        print({"MusNext, from the middle", nextSong(t, middle, reps), "plain walk to middle", walkMiddle});

        fillList(k, n, QStringLiteral("/home/Jürgen/Musik/Künstler/"));
        const QString middleUmlaut = k.library.songList.at(n / 2).filePath;
        print({"LiedBestimmen, non-ASCII paths, middle", determination(k, middleUmlaut, reps), "plain walk to it",
               plainWalk(k, middleUmlaut, reps)});
    }
    return 0;
}
