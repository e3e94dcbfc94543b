// Even loudness without the sound output: the gain rule, the cache on disk,
// the background measuring and the switch, with a probe that counts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <memory>
#include <mutex>

#include "playback/Levelling.h"
#include "playback/LevellingSwitch.h"
#include "playback/LoudnessCache.h"
#include "playback/LoudnessGain.h"

namespace {

double db(double linear) { return 20.0 * std::log10(linear); }

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test_playback";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A probe that answers a loudness from the file's name ("x-23.wav" is -23
// LUFS, peak 0.5) and counts what it measured.
struct CountingProbe {
    std::mutex m;
    QStringList measured;
    Levelling::Probe probe() {
        return [this](const QString& path, const std::atomic<bool>&) -> std::optional<Loudness> {
            std::lock_guard<std::mutex> g(m);
            measured << QFileInfo(path).fileName();
            const QString base = QFileInfo(path).completeBaseName();
            bool ok = false;
            const double lufs = base.mid(base.indexOf('-')).toDouble(&ok);
            if (!ok) return std::nullopt;
            return Loudness{lufs, 0.5};
        };
    }
    int count() {
        std::lock_guard<std::mutex> g(m);
        return int(measured.size());
    }
};

struct Folder {
    QTemporaryDir tmp;
    QString data() const { return tmp.path() + "/data/"; }
    QString song(const QString& name) const { return tmp.path() + "/songs/" + name; }
    Folder() {
        QDir().mkpath(data());
        QDir().mkpath(tmp.path() + "/songs");
    }
};

// Songs of the given names in the folder, each file holding its name.
QStringList songsIn(const Folder& f, std::initializer_list<const char*> names) {
    QStringList songs;
    for (const char* n : names) {
        songs << f.song(n);
        writeFile(songs.last(), n);
    }
    return songs;
}

// Levelling on the folder's data, started, once it has measured `songs`.
std::unique_ptr<Levelling> measured(const Folder& f, Levelling::Probe probe, const QStringList& songs) {
    auto l = std::make_unique<Levelling>(f.data(), std::move(probe), Levelling::Logger{});
    l->start();
    l->setQueue(songs);
    l->waitUntilIdle();
    return l;
}

}  // namespace

TEST(LoudnessGain, BringsSongsToTheTargetWithThePeakBelowTheCeiling) {
    // Loud song: lowered by its distance to -18 LUFS.
    EXPECT_NEAR(db(levellingGain({-8.0, 0.5})), -10.0, 1e-9);
    // Quiet song with room to spare: raised.
    EXPECT_NEAR(db(levellingGain({-27.0, 0.1})), 9.0, 1e-9);
    // Quiet song whose peak would pass -1 dBFS: raised only up to the ceiling.
    EXPECT_NEAR(db(levellingGain({-30.0, 0.5})), -1.0 - db(0.5), 1e-9);
    // A song already at the target, peaking above full scale (true peak),
    // is lowered so its peak lands at -1 dBFS.
    EXPECT_NEAR(db(levellingGain({-18.0, 1.4})), -1.0 - db(1.4), 1e-9);
    // Silence and nonsense are left alone, never boosted.
    EXPECT_DOUBLE_EQ(levellingGain({-999.0, 0.0}), 1.0);
    EXPECT_DOUBLE_EQ(levellingGain({std::nan(""), std::nan("")}), 1.0);
    EXPECT_DOUBLE_EQ(levellingGain({-HUGE_VAL, 0.0}), 1.0);
}

TEST(LoudnessGain, ReadsReplayGainAndR128Tags) {
    // A track gain of -6.5 dB at the 89 dB reference: the song is at -11.5 LUFS.
    const Loudness rg = loudnessFromReplayGain(-6.5, 0.98, 0.0);
    EXPECT_NEAR(rg.lufs, -11.5, 1e-9);
    EXPECT_NEAR(rg.peak, 0.98, 1e-9);
    // The same gain at an 83 dB reference stands for a song 6 dB quieter.
    EXPECT_NEAR(loudnessFromReplayGain(-6.5, 0.98, 83.0).lufs, -17.5, 1e-9);
    // R128: Q7.8 relative to -23 LUFS; -5 dB (-1280) means -18 LUFS.
    EXPECT_NEAR(loudnessFromR128(-1280).lufs, -18.0, 1e-9);
}

TEST(LoudnessCache, KeepsEntriesForTheFileAsItWas) {
    Folder f;
    const QString song = f.song("a.wav");
    writeFile(song, "0123456789");
    const QString file = f.data() + "Lautheit.cache";
    {
        LoudnessCache c(file);
        c.load();
        c.store(song, LoudnessCache::keyOf(song), {-12.25, 0.75});
        // A path with a tab and non-Latin letters is kept whole.
        c.store(f.song("b\tÜ€.mod"), {5, 7}, {-999.0, 0.0});
        ASSERT_TRUE(c.save());
    }
    LoudnessCache c(file);
    c.load();
    ASSERT_EQ(c.size(), 2);
    const auto l = c.find(song, LoudnessCache::keyOf(song));
    ASSERT_TRUE(l.has_value());
    EXPECT_NEAR(l->lufs, -12.25, 1e-9);
    EXPECT_NEAR(l->peak, 0.75, 1e-9);
    EXPECT_TRUE(c.find(f.song("b\tÜ€.mod"), {5, 7}).has_value());
    // Another size or modification time is another file.
    EXPECT_FALSE(c.find(song, {11, LoudnessCache::keyOf(song).modifiedMs}).has_value());
    EXPECT_FALSE(c.find(song, {10, LoudnessCache::keyOf(song).modifiedMs + 1}).has_value());
    // A file that is gone is never found.
    EXPECT_FALSE(c.find(f.song("gone.wav"), LoudnessCache::keyOf(f.song("gone.wav"))).has_value());
}

TEST(LoudnessCache, AnEntryStoredWhileTheBytesAreWrittenIsWrittenByTheNextSave) {
    Folder f;
    const QString file = f.data() + "Lautheit.cache";
    LoudnessCache c(file);
    c.load();
    c.store(f.song("a.wav"), {1, 2}, {-12.0, 0.5});
    const auto pending = c.pendingSave();
    ASSERT_TRUE(pending.has_value());
    c.store(f.song("b.wav"), {3, 4}, {-14.0, 0.5});  // while the disk writes
    ASSERT_TRUE(c.write(pending->bytes));
    c.saved(pending->version);
    ASSERT_TRUE(c.dirty());
    ASSERT_TRUE(c.save());
    EXPECT_FALSE(c.pendingSave().has_value());
    LoudnessCache again(file);
    again.load();
    EXPECT_TRUE(again.find(f.song("b.wav"), {3, 4}).has_value());
}

TEST(LoudnessCache, DamagedFileIsLoggedNotTrustedAndReplaced) {
    Folder f;
    const QString file = f.data() + "Lautheit.cache";
    const QString song = f.song("a.wav");
    writeFile(song, "x");
    const LoudnessCache::Key key = LoudnessCache::keyOf(song);
    const QByteArray good = "Kalvo2 loudness cache 1\n" + QByteArray::number(key.size) + '\t' +
                            QByteArray::number(key.modifiedMs) + "\t-10.000\t0.5\t" + song.toUtf8() + '\n';
    const QList<QByteArray> damaged = {
        good.left(good.size() - 8),                       // cut in the middle of a line
        good + "1\t2\tloud\t0.5\t/x.wav\n",               // a number that is none
        "Kalvo2 loudness cache 9\n" + good.mid(24),       // an unknown head
        QByteArray("\x00\x01\x02garbage", 10),            // not text at all
        good + "1\t2\t-10\t-0.5\t/x.wav\n",               // a negative peak
    };
    for (const QByteArray& bytes : damaged) {
        writeFile(file, bytes);
        QStringList logged;
        LoudnessCache c(file, [&](const QString& line) { logged << line; });
        c.load();
        EXPECT_EQ(c.size(), 0) << bytes.constData();
        EXPECT_FALSE(c.find(song, key).has_value());
        ASSERT_EQ(logged.size(), 1);
        EXPECT_TRUE(logged[0].contains("beschädigt")) << logged[0].toStdString();
        // The next save replaces it with a cache that reads back.
        c.store(song, key, {-20.0, 0.25});
        ASSERT_TRUE(c.save());
        LoudnessCache again(file, [&](const QString& line) { logged << line; });
        again.load();
        EXPECT_EQ(logged.size(), 1);
        EXPECT_TRUE(again.find(song, key).has_value());
    }
}

TEST(Levelling, MeasuresEachFileOnceAcrossStartsAndAgainWhenItChanges) {
    app();
    Folder f;
    const QStringList songs = songsIn(f, {"a-10.wav", "b-20.mod", "c-30.mid", "d-14.mp3"});
    CountingProbe first;
    {
        const auto l = measured(f, first.probe(), songs);
        EXPECT_EQ(first.count(), 4);
        EXPECT_NEAR(db(l->gain(songs[0])), -8.0, 1e-6);
        EXPECT_NEAR(db(l->gain(songs[1])), 2.0, 1e-6);
    }
    EXPECT_TRUE(QFile::exists(f.data() + "Lautheit.cache"));

    // A second start measures nothing again.
    CountingProbe second;
    {
        const auto l = measured(f, second.probe(), songs);
        EXPECT_EQ(second.count(), 0);
        EXPECT_NEAR(db(l->gain(songs[2])), -1.0 - db(0.5), 1e-6);  // known at once
        EXPECT_EQ(second.count(), 0);
    }

    // A changed file is measured again, and only that one.
    writeFile(songs[3], "changed and longer");
    CountingProbe third;
    const auto l = measured(f, third.probe(), songs);
    EXPECT_EQ(third.measured, QStringList{"d-14.mp3"});
}

TEST(Levelling, UnknownSongPlaysAtItsNeighboursGainUntilMeasured) {
    app();
    Folder f;
    const QStringList known = songsIn(f, {"a-6.mod", "b-8.mod", "c-10.mod", "w-30.wav"});
    const QString fresh = songsIn(f, {"new-12.mod"}).first();
    std::atomic<bool> holdFresh{true};
    CountingProbe counting;
    auto inner = counting.probe();
    const auto measuredKnown = measured(
        f,
        [&](const QString& p, const std::atomic<bool>& cancel) {
            while (p == fresh && holdFresh && !cancel) QThread::msleep(5);
            return inner(p, cancel);
        },
        known);
    Levelling& l = *measuredKnown;
    l.setQueue(known);  // the list as it stands; the new song not yet in it

    int changes = 0;
    QObject::connect(&l, &Levelling::gainsChanged, [&] { ++changes; });
    // The median of the known modules (-6, -8, -10 LUFS -> -10 dB), not the WAV's.
    EXPECT_NEAR(db(l.gain(fresh)), -10.0, 1e-6);
    holdFresh = false;
    l.waitUntilIdle();
    for (int i = 0; i < 100 && changes == 0; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    EXPECT_EQ(changes, 1);  // the output asks again for the song heard now
    EXPECT_NEAR(db(l.gain(fresh)), -6.0, 1e-6);

    // With no neighbour known, and never above unchanged: a quiet list's
    // median would clip a song whose peak is not known yet.
    Folder g;
    const QString lone = g.song("lone-20.wav");
    writeFile(lone, "x");
    Levelling empty(g.data(), [](const QString&, const std::atomic<bool>&) { return std::nullopt; }, {});
    empty.start();
    EXPECT_DOUBLE_EQ(empty.gain(lone), 1.0);
}

TEST(Levelling, SwitchTurnsGainsOffAtOnceAndIsStoredInItsOwnFile) {
    app();
    Folder f;
    const QString song = songsIn(f, {"s-8.wav"}).first();
    CountingProbe counting;
    {
        const auto measuredSong = measured(f, counting.probe(), {song});
        Levelling& l = *measuredSong;
        EXPECT_TRUE(l.enabled());  // on by default
        int changes = 0;
        QObject::connect(&l, &Levelling::gainsChanged, [&] { ++changes; });
        EXPECT_NEAR(db(l.gain(song)), -10.0, 1e-6);
        EXPECT_FALSE(QFile::exists(LevellingSwitch::fileIn(f.data())));  // untouched: no file
        l.setEnabled(false);
        EXPECT_EQ(changes, 1);
        EXPECT_DOUBLE_EQ(l.gain(song), 1.0);
    }
    EXPECT_TRUE(QFile::exists(LevellingSwitch::fileIn(f.data())));
    EXPECT_FALSE(QFile::exists(f.data() + "Kalvo2.ini"));
    Levelling again(f.data(), counting.probe(), {});
    again.start();
    EXPECT_FALSE(again.enabled());
    again.setEnabled(true);
    EXPECT_TRUE(LevellingSwitch::load(LevellingSwitch::fileIn(f.data())));
}
