// Continuous play through the real engines: real WAV, MP3 and module files
// played into a real-time fakesink, the tick driven like the idle event loop
// drives it (one pass every 105 ms) with the real clock.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMap>
#include <csignal>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "fakes/Fakes.h"
#include "fixtures/Fixtures.h"
#include "platform/SystemClock.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/RendererModuleEngine.h"

extern char** environ;

namespace {

constexpr qint64 UnitsPerSecond = 10000000;

// A player whose engines and clock are the real ones; everything else is fake.
struct RealPlayer {
    TestKalvo t;  // the fakes and the temporary folder
    SystemClock clock;
    GstMediaEngine media;
    RendererModuleEngine modules;
    std::unique_ptr<Kalvo> k;

    RealPlayer() {
        modules.rendererPath = QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2-modrender");
        Services s{t.view,  t.messages, clock, t.desktop, t.files, t.random, t.progress, t.fileDialogs,
                   t.windows, media,      modules, t.sounds};
        k = std::make_unique<Kalvo>(s);
        k->shell.programFolder = t.k->shell.programFolder;
        k->shell.dataFolder = t.k->shell.dataFolder;
        k->shell.TrashFolder = t.k->shell.TrashFolder;
        k->shell.logFile = t.k->shell.logFile;
        k->shell.lastListSave = clock.localSeconds();
        k->shell.lastActivityTime = clock.tickMs();
    }
};

// What the passes saw of one song.
struct Seen {
    QString path;
    qint64 maxMediaPosition = 0;               // 100-ns units
    std::set<std::pair<int, int>> patternRows;  // module songs
};

// Busy processes that keep the CPUs loaded while they live.
class BusyLoad {
public:
    explicit BusyLoad(int n) {
        for (int i = 0; i < n; ++i) {
            pid_t pid = -1;
            char sh[] = "/bin/sh", c[] = "-c", loop[] = "while :; do :; done";
            char* argv[] = {sh, c, loop, nullptr};
            if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0) pids.push_back(pid);
        }
    }
    ~BusyLoad() {
        for (pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    int count() const { return int(pids.size()); }

private:
    std::vector<pid_t> pids;
};

class Integration : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<RealPlayer> p;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KALVO2_AUDIO_SINK", "fakesink sync=true");
        p = std::make_unique<RealPlayer>();
        if (!p->media.initialise()) GTEST_SKIP() << "the GStreamer media engine cannot play on this machine";
        if (!QFileInfo(p->modules.rendererPath).isExecutable())
            GTEST_SKIP() << "the module renderer is not built: " << p->modules.rendererPath.toStdString();
        if (!p->modules.initialise()) GTEST_SKIP() << "the module renderer does not start";
        Kalvo& k = *p->k;
        k.settings.FortwAbspielen = 1;
        k.settings.Repeat = 0;
        p->t.view.volume = 50;
    }
    void TearDown() override {
        if (p && p->k) p->k->playback.Stoppen();
        p.reset();
        qputenv("KALVO2_AUDIO_SINK", "fakesink sync=false");
    }

    QString wav(const QString& name, double seconds) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeFixture(path, fixtures::wavTone(seconds)));
        return path;
    }
    QString module(const QString& name, int patterns, bool endless) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeFixture(path, fixtures::protrackerModule(patterns, 16, 3, endless)));
        return path;
    }
    // The list in path order; every file is present.
    void setList(const QStringList& paths) {
        SongList& list = p->k->library.songList;
        list.clear();
        for (const QString& path : paths) list.append(SongEntry{path, 0, int32_t(QFileInfo(path).size())});
    }

    // Runs passes (tick, then 105 ms idle) until `done` holds or `limitMs` of
    // wall time passed; returns the songs in the order they were current.
    template <typename Done>
    QVector<Seen> drive(int limitMs, Done done) {
        Kalvo& k = *p->k;
        QVector<Seen> seen;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (std::chrono::steady_clock::now() < deadline && !done(seen)) {
            k.tick.MusCheckPlay();
            const QString current = k.playback.currentSong;
            if (!current.isEmpty() && (seen.isEmpty() || seen.last().path != current)) seen.append(Seen{current});
            if (!current.isEmpty()) {
                Seen& s = seen.last();
                if (k.playback.moduleSong == 0 && p->media.isLoaded())
                    s.maxMediaPosition = std::max(s.maxMediaPosition, p->media.position(k.playback.mediaHandle));
                if (k.playback.moduleSong == 1 && p->modules.isLoaded())
                    s.patternRows.insert({p->modules.currentPattern(), p->modules.currentRow()});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(105));
        }
        return seen;
    }

    static QStringList paths(const QVector<Seen>& seen) {
        QStringList out;
        for (const Seen& s : seen) out << QFileInfo(s.path).fileName();
        return out;
    }
};

TEST_F(Integration, MixedListPlaysThroughInOrderStopsAtTheEndAndGoesRoundWithRepeat) {
    QStringList files;
    files << wav("a.wav", 1.5);
    QString why;
    const QString mp3 = dir.filePath("b.mp3");
    if (fixtures::mp3Tone(mp3, 1.5, &why))
        files << mp3;
    else
        std::printf("[ NOTE     ] no MP3 in the list: %s\n", qPrintable(why));
    files << module("c.mod", 2, false) << wav("d.wav", 1.5);
    setList(files);
    QStringList names;
    for (const QString& f : files) names << QFileInfo(f).fileName();

    Kalvo& k = *p->k;
    ASSERT_TRUE(k.playback.Spielen(QString()));
    // Past the end of d.wav, a few more seconds show that nothing follows.
    int afterEnd = 0;
    QVector<Seen> seen = drive(60000, [&](const QVector<Seen>& s) {
        if (s.size() == files.size() && s.last().maxMediaPosition >= qint64(1.4 * UnitsPerSecond)) ++afterEnd;
        return afterEnd > 30;
    });
    EXPECT_EQ(paths(seen), names);
    for (const Seen& s : seen) {
        SCOPED_TRACE(s.path.toStdString());
        if (s.path.endsWith(".mod"))
            EXPECT_GT(s.patternRows.size(), 10u);
        else
            EXPECT_GE(s.maxMediaPosition, qint64(1.2 * UnitsPerSecond));
    }
    EXPECT_EQ(k.playback.currentSong, files.last());
    EXPECT_TRUE(p->t.messages.shown.isEmpty());
    EXPECT_EQ(p->t.messages.errorBeeps, 0);

    k.settings.Repeat = 1;  // the next tick wraps round to the first song
    seen = drive(20000, [](const QVector<Seen>& s) { return s.size() >= 2; });
    EXPECT_EQ(paths(seen), names.mid(0, 2));
    if (!seen.isEmpty()) EXPECT_GE(seen[0].maxMediaPosition, qint64(1.2 * UnitsPerSecond));
}

TEST_F(Integration, EndlessModuleIsEndedByTheLoopGuard) {
    const QStringList files = {module("a.mod", 2, true), wav("b.wav", 1.0)};
    setList(files);
    Kalvo& k = *p->k;
    k.settings.TimeoutTM = 2;
    k.settings.LoopoutTM = 2;
    ASSERT_TRUE(k.playback.Spielen(QString()));
    const auto start = std::chrono::steady_clock::now();
    const QVector<Seen> seen = drive(60000, [](const QVector<Seen>& s) { return s.size() >= 2; });
    const auto moduleMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(paths(seen), (QStringList{"a.mod", "b.wav"}));
    EXPECT_GT(k.tick.loopCount, 2);
    EXPECT_GE(moduleMs, 2000);  // never within TimeoutTM
    EXPECT_FALSE(p->modules.isLoaded());
}

TEST_F(Integration, ContinuousPlayOnALoadedMachineNeverSkipsASong) {
    QStringList files;
    for (int i = 0; i < 6; ++i) files << wav(QStringLiteral("song%1.wav").arg(i), 1.0);
    setList(files);
    Kalvo& k = *p->k;
    BusyLoad load(2);
    ASSERT_EQ(load.count(), 2);
    ASSERT_TRUE(k.playback.Spielen(QString()));
    int afterEnd = 0;
    const QVector<Seen> seen = drive(120000, [&](const QVector<Seen>& s) {
        if (s.size() == files.size() && s.last().maxMediaPosition >= qint64(0.9 * UnitsPerSecond)) ++afterEnd;
        return afterEnd > 10;
    });
    QStringList expected;
    for (const QString& f : files) expected << QFileInfo(f).fileName();
    EXPECT_EQ(paths(seen), expected);
    for (const Seen& s : seen)
        EXPECT_GE(s.maxMediaPosition, qint64(0.8 * UnitsPerSecond))
            << s.path.toStdString() << " was left before it had played";
}

}  // namespace
