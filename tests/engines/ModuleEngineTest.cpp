#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <set>

#include "EngineTestSupport.h"
#include "fakes/Fakes.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/RendererModuleEngine.h"

using namespace enginetest;

namespace {

class ModuleEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qunsetenv("KALVO2_MODRENDER_CRASH_ON");
        qunsetenv("KALVO2_MODRENDER_HANG_ON");
        // 3 patterns of 16 rows at 60 ms a row: 2.88 s.
        ends = write("ends.mod", fixtures::protrackerModule(3, 16, 3, false));
        endless = write("endless.mod", fixtures::protrackerModule(2, 16, 3, true));
    }

    QString write(const QString& name, const QByteArray& data) {
        const QString p = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeFixture(p, data));
        return p;
    }

    std::unique_ptr<RendererModuleEngine> makeEngine() {
        auto e = std::make_unique<RendererModuleEngine>();
        e->rendererPath = rendererPath();
        e->logger = [this](const QString& line) { logs << line; };
        return e;
    }

    // Pattern/row pairs seen over `ms` milliseconds, read every 20 ms.
    static std::set<std::pair<int, int>> watch(const RendererModuleEngine& e, int ms) {
        std::set<std::pair<int, int>> seen;
        for (int t = 0; t < ms; t += 20) {
            seen.insert({e.currentPattern(), e.currentRow()});
            sleepMs(20);
        }
        return seen;
    }

    // Plays `module` at `volume` into a WAV capture and returns its level in dBFS.
    double capturedLevel(const QString& module, int volume, int seekMs = -1) {
        const QString wav = dir.filePath(QString("capture-%1-%2.wav").arg(volume).arg(++captures));
        useCaptureSink(wav);
        {
            auto e = makeEngine();
            EXPECT_TRUE(e->load(module));
            e->setVolume(volume);
            if (seekMs >= 0)
                e->seek(seekMs);
            e->play();
            // The capture runs faster than real time; wait for a second of audio.
            for (int i = 0; i < 500 && QFile(wav).size() < 44100 * 4 * 2; ++i)
                sleepMs(10);
            e->release();
        }
        qint64 n = 0;
        const double db = fixtures::wavLevelDb(readAll(wav), 0.1, 1.0, &n);
        EXPECT_GT(n, 44100) << "capture too short";
        return db;
    }

    QTemporaryDir dir;
    QString ends, endless;
    QStringList logs;
    int captures = 0;
};

TEST_F(ModuleEngineTest, PatternAndRowMoveWhilePlayingAndReadZeroWhenStopped) {
    useRealTimeSink();
    auto e = makeEngine();
    EXPECT_TRUE(e->initialise());
    EXPECT_FALSE(e->isLoaded());
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The renderer runs with an address-space limit (sanitizer builds cannot).
    const QByteArray limits = readAll(QString("/proc/%1/limits").arg(e->rendererPid()));
    EXPECT_TRUE(limits.contains("536870912")) << limits.toStdString();
#endif
    EXPECT_EQ(e->currentPattern(), 0);
    ASSERT_TRUE(e->load(endless));
    EXPECT_TRUE(e->isLoaded());
    e->play();
    ASSERT_TRUE(waitUntil([&] { return e->currentRow() != 0; })) << "output started";
    const auto seen = watch(*e, 600);
    EXPECT_GE(seen.size(), 5u) << "rows must advance in real time (60 ms a row)";

    e->stop();
    EXPECT_TRUE(e->isLoaded());
    EXPECT_EQ(e->currentPattern(), 0);
    EXPECT_EQ(e->currentRow(), 0);
    sleepMs(150);
    EXPECT_EQ(e->currentRow(), 0) << "nothing renders after stop";

    e->play();  // resumes where it stopped
    EXPECT_GE(watch(*e, 400).size(), 3u);
    e->release();
    EXPECT_FALSE(e->isLoaded());
    EXPECT_EQ(e->currentRow(), 0);
    EXPECT_TRUE(logs.isEmpty()) << logs.join('\n').toStdString();
}

// A pause holds pattern and row; resume goes on from there, never from the
// start; a renderer that dies ends the pause.
TEST_F(ModuleEngineTest, PauseHoldsPatternAndRowAndResumeGoesOnFromThere) {
    useRealTimeSink();
    auto e = makeEngine();
    // 8 patterns of 16 rows at 60 ms a row: 7.68 s.
    ASSERT_TRUE(e->load(write("steps.mod", fixtures::protrackerSteps(8, 16, 3))));
    e->pause();
    EXPECT_FALSE(e->paused()) << "nothing plays yet";
    e->play();
    ASSERT_TRUE(waitUntil([&] { return e->currentPattern() >= 1; })) << "output started";
    e->pause();
    ASSERT_TRUE(e->paused());
    sleepMs(300);  // what was rendered ahead waits at the sink
    const std::pair<int, int> held{e->currentPattern(), e->currentRow()};
    EXPECT_EQ(watch(*e, 500), (std::set<std::pair<int, int>>{held})) << "nothing renders while paused";
    EXPECT_GE(held.first, 1);

    e->resume();
    EXPECT_FALSE(e->paused());
    const auto rowsOf = [](std::pair<int, int> at) { return at.first * 16 + at.second; };
    ASSERT_TRUE(waitUntil([&] { return rowsOf({e->currentPattern(), e->currentRow()}) > rowsOf(held); }));
    const int after = rowsOf({e->currentPattern(), e->currentRow()});
    EXPECT_LE(after, rowsOf(held) + 3) << "goes on from the held row";

    e->pause();
    ASSERT_TRUE(e->paused());
    ::kill(e->rendererPid(), SIGKILL);
    EXPECT_TRUE(waitUntil([&] { return !e->paused(); })) << "a dead renderer holds nothing";
    EXPECT_EQ(e->currentRow(), 0);
}

TEST_F(ModuleEngineTest, EndlessModuleKeepsJumpingBack) {
    useFastSink();  // hours of module time in a moment
    auto e = makeEngine();
    ASSERT_TRUE(e->load(endless));
    e->play();
    sleepMs(500);  // far more than its 1.9 s of module time
    EXPECT_TRUE(waitUntil([&] { return watch(*e, 100).size() >= 2; })) << "a module that jumps back never ends";
}

TEST_F(ModuleEngineTest, PatternAndRowFreezeAtTheNaturalEnd) {
    useFastSink();
    auto e = makeEngine();
    ASSERT_TRUE(e->load(ends));
    e->play();
    ASSERT_TRUE(waitUntil([&] { return watch(*e, 300).size() == 1 && e->currentRow() != 0; }))
        << "pattern and row must stay constant after the end";
    const auto seen = watch(*e, 300);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen.begin()->first, 2);
    EXPECT_GE(seen.begin()->second, 12) << "the last rows of the last pattern";
    EXPECT_TRUE(e->isLoaded());
}

TEST_F(ModuleEngineTest, SeekBeyondTheEndPlaysSilenceWithAFrozenRow) {
    EXPECT_LT(capturedLevel(ends, 100, 10'000'000), -150.0);
    useFastSink();
    auto e = makeEngine();
    ASSERT_TRUE(e->load(ends));
    e->seek(10'000'000);
    e->play();
    sleepMs(100);
    EXPECT_EQ(watch(*e, 200).size(), 1u);
}

TEST_F(ModuleEngineTest, VolumeSetsTheHeardLevelAndZeroIsSilence) {
    // libmodplug's master volume (v * 512 / 100) saturates near the top, so
    // the steps are smaller than on the media engine: measured about -3.5 dB
    // at 50 and -15 dB at 10.
    const double full = capturedLevel(endless, 100);
    ASSERT_GT(full, -30.0) << "the fixture must be audible";
    const double half = capturedLevel(endless, 50);
    const double tenth = capturedLevel(endless, 10);
    EXPECT_LT(half, full - 2.0);
    EXPECT_LT(tenth, half - 8.0);
    EXPECT_GT(tenth, full - 25.0);
    EXPECT_LT(capturedLevel(endless, 0), -150.0) << "volume 0 is silence";
}

TEST_F(ModuleEngineTest, AVolumeChangeIsHeardWithinAFifthOfASecond) {
    // A capture paced in real time: the loud part lasts as long as the
    // module played at full volume plus what was already queued for output.
    const QString wav = dir.filePath("latency.wav");
    // (The file sink keeps the pace: an identity that syncs would hold
    // playbin's preroll for good.)
    useSink("audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink sync=true location=\"" + wav + "\"");
    {
        auto e = makeEngine();
        ASSERT_TRUE(e->load(endless));
        e->play();
        ASSERT_TRUE(waitUntil([&] { return e->currentRow() != 0; }));
        sleepMs(500);
        e->setVolume(0);
        sleepMs(500);
        e->release();
    }
    const QByteArray img = readAll(wav);
    // Find the end of the loud part in 10 ms windows.
    double loudUntil = 0;
    for (double t = 0; t < 1.2; t += 0.01) {
        qint64 n = 0;
        if (fixtures::wavLevelDb(img, t, 0.01, &n) > -60.0 && n > 0)
            loudUntil = t + 0.01;
    }
    EXPECT_GT(loudUntil, 0.4);
    EXPECT_LT(loudUntil, 0.5 + 0.2) << "output latency";
}

TEST_F(ModuleEngineTest, RejectedFilesLeaveTheEngineEmpty) {
    useFastSink();
    auto e = makeEngine();
    ASSERT_TRUE(e->load(ends));
    EXPECT_FALSE(e->load(write("empty.xm", {})));
    EXPECT_FALSE(e->isLoaded());
    EXPECT_FALSE(e->load(dir.filePath("missing.mod")));
    EXPECT_FALSE(e->load(dir.path()));  // a folder
    EXPECT_FALSE(e->isLoaded());
    EXPECT_EQ(e->currentPattern(), 0);
    // A module deleted between load and play plays from memory.
    const QString gone = write("gone.mod", fixtures::protrackerModule(2, 16, 3, true));
    ASSERT_TRUE(e->load(gone));
    ASSERT_TRUE(QFile::remove(gone));
    e->play();
    sleepMs(200);
    EXPECT_TRUE(e->isLoaded());
    EXPECT_TRUE(logs.isEmpty()) << logs.join('\n').toStdString();
}

TEST_F(ModuleEngineTest, DamagedFilesOfEveryTypeNeverHurtThePlayer) {
    useFastSink();
    auto e = makeEngine();
    const QByteArray good = fixtures::protrackerModule(3, 16, 3, false);
    QByteArray noise(4096, '\0');
    quint32 x = 12345;
    for (char& c : noise)
        c = char((x = x * 1103515245u + 12345u) >> 16);
    const QList<QByteArray> bodies = {QByteArray(), QByteArray(4096, '\0'), noise, good.left(1084),
                                      good.left(good.size() / 2)};
    for (const char* ext : {"669", "it", "med", "mod", "mtm", "s3m", "xm"}) {
        for (int i = 0; i < bodies.size(); ++i) {
            const QString p = write(QString("bad%1.%2").arg(i).arg(ext), bodies[i]);
            const bool ok = e->load(p);
            EXPECT_EQ(ok, e->isLoaded()) << p.toStdString();
            if (ok) {
                e->play();
                sleepMs(20);
                e->stop();
            }
        }
    }
    EXPECT_FALSE(e->load(write("empty.mod", {})));
    EXPECT_TRUE(logs.isEmpty()) << logs.join('\n').toStdString();
    ASSERT_TRUE(e->load(ends));
}

TEST_F(ModuleEngineTest, RendererCrashOrHangFailsTheLoadAndTheEngineGoesOn) {
    useFastSink();
    qputenv("KALVO2_MODRENDER_CRASH_ON", "crashes-renderer");
    qputenv("KALVO2_MODRENDER_HANG_ON", "hangs-renderer");
    auto e = makeEngine();
    e->loadTimeoutMs = 1000;
    ASSERT_TRUE(e->load(ends));
    e->play();

    // The renderer had played a module before: a fresh one tries again, and
    // only its failure fails the load.
    EXPECT_FALSE(e->load(write("crashes-renderer.mod", fixtures::protrackerModule())));
    EXPECT_FALSE(e->isLoaded());
    EXPECT_EQ(e->currentRow(), 0);
    ASSERT_EQ(logs.size(), 2);
    for (const QString& line : logs)
        EXPECT_TRUE(line.contains("signal") && line.contains("crashes-renderer.mod")) << line.toStdString();

    ASSERT_TRUE(e->load(endless)) << "a fresh renderer takes the next load";
    EXPECT_FALSE(e->load(write("hangs-renderer.mod", fixtures::protrackerModule())));
    EXPECT_FALSE(e->isLoaded());
    EXPECT_EQ(logs.size(), 4);
    ASSERT_TRUE(e->load(endless));
    e->play();
    sleepMs(100);
    EXPECT_TRUE(e->isLoaded());
}

TEST_F(ModuleEngineTest, MissingRendererFailsCleanly) {
    auto e = makeEngine();
    e->rendererPath = dir.filePath("no-such-renderer");
    EXPECT_FALSE(e->initialise());
    EXPECT_FALSE(e->load(ends));
    EXPECT_FALSE(e->isLoaded());
    e->play();
    e->stop();
    e->release();
    EXPECT_EQ(e->currentPattern(), 0);
    ASSERT_FALSE(logs.isEmpty());
    EXPECT_TRUE(logs[0].contains("no-such-renderer")) << logs[0].toStdString();
}

// A renderer that dies mid-song leaves a stopped module: still loaded, so the
// player's end rule sees pattern and row stand at 0 and goes on.
TEST_F(ModuleEngineTest, RendererDeathMidSongReadsAsAStoppedModule) {
    useRealTimeSink();
    auto e = makeEngine();
    ASSERT_TRUE(e->load(endless));
    e->play();
    sleepMs(200);
    const pid_t pid = e->rendererPid();
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGKILL);
    sleepMs(100);
    EXPECT_TRUE(e->isLoaded());
    EXPECT_EQ(e->currentPattern(), 0);
    EXPECT_EQ(e->currentRow(), 0);
    e->stop();  // commands to a dead renderer are harmless
    e->seek(100);
    EXPECT_TRUE(e->isLoaded());
    e->release();
    EXPECT_FALSE(e->isLoaded());
    EXPECT_EQ(logs.size(), 1);
    ASSERT_TRUE(e->load(ends));
}

// A render that hangs inside libmodplug: the next load neither waits for
// the hung renderer nor fails; the log names the module that hung.
TEST_F(ModuleEngineTest, AHungRenderIsBlamedOnItsOwnModuleAndTheNextLoadSucceeds) {
    useRealTimeSink();
    qputenv("KALVO2_MODRENDER_HANG_RENDER_ON", "hangs-in-render");
    const QString hangs = write("hangs-in-render.mod", fixtures::protrackerModule(2, 16, 3, true));
    auto e = makeEngine();
    e->loadTimeoutMs = 1500;
    for (const bool seenBeforeTheLoad : {true, false}) {
        SCOPED_TRACE(seenBeforeTheLoad ? "hang older than renderHangMs" : "load runs into the hang");
        logs.clear();
        e->renderHangMs = seenBeforeTheLoad ? 300 : 60000;
        ASSERT_TRUE(e->load(hangs));
        e->play();
        // Rows move for half a second, then stand.
        ASSERT_TRUE(waitUntil([&] { return e->currentRow() > 0; }));
        sleepMs(1200);
        const auto frozen = watch(*e, 300);
        EXPECT_EQ(frozen.size(), 1u) << "the render hangs";

        EXPECT_TRUE(e->load(ends)) << "the next song is not blamed";
        e->play();
        EXPECT_TRUE(waitUntil([&] { return e->currentRow() > 0; }));
        ASSERT_EQ(logs.size(), 1) << logs.join('\n').toStdString();
        EXPECT_TRUE(logs[0].startsWith("ModuleEngine: renderer hung while playing " + hangs)) << logs[0].toStdString();
    }
    qunsetenv("KALVO2_MODRENDER_HANG_RENDER_ON");
}

// An output that fails mid-song (a device unplugged; here a disk that is
// full) ends the song like a renderer death, and the reason reaches the log.
TEST_F(ModuleEngineTest, AnOutputFailureStopsTheSongAndIsLogged) {
    useSink("filesink location=/dev/full");
    auto e = makeEngine();
    ASSERT_TRUE(e->load(endless));
    e->play();
    // The player looks at the engine every tick; so does this wait.
    ASSERT_TRUE(waitUntil([&] { return e->isLoaded() && !logs.isEmpty(); })) << "the output failure is noticed";
    EXPECT_TRUE(logs[0].contains("sound output failed while playing " + endless)) << logs[0].toStdString();
    EXPECT_TRUE(e->isLoaded());
    EXPECT_EQ(e->currentPattern(), 0);
    EXPECT_EQ(e->currentRow(), 0);
    EXPECT_GT(e->rendererPid(), 0) << "the renderer itself goes on";
    EXPECT_EQ(logs.size(), 1);
}

// An exclusive device (alsasink device=hw:1) can be open in one place only,
// so the player's output for modules must not hold it while no module
// plays. The test device is ALSA's "null" PCM: each open of it holds one
// more descriptor of /dev/null, which the player's descriptors show.
TEST_F(ModuleEngineTest, HoldsNoOutputDeviceWhileNothingPlays) {
    const QString conf = dir.filePath("asound.conf");
    QFile f(conf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("pcm.kalvotest { type null }\n");
    f.close();
    qputenv("ALSA_CONFIG_PATH", QFile::encodeName(conf));
    useSink("alsasink device=kalvotest sync=true");
    auto e = makeEngine();
    // The player opens the device each time a module starts.
    struct Unset { ~Unset() { qunsetenv("ALSA_CONFIG_PATH"); } } unset;
    if (!e->initialise())
        GTEST_SKIP() << "no ALSA output here";
    const pid_t pid = e->rendererPid();
    auto devices = [] {
        const QDir fds(QStringLiteral("/proc/self/fd"));
        int n = 0;
        for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            n += QFileInfo(fds.filePath(fd)).symLinkTarget() == "/dev/null";
        return n;
    };
    const int idle = devices();
    ASSERT_TRUE(e->load(endless));
    EXPECT_EQ(devices(), idle) << "loaded, not playing";
    e->play();
    ASSERT_TRUE(waitUntil([&] { return e->currentRow() > 0; }));
    EXPECT_EQ(devices(), idle + 1) << "the output is open while a module plays";
    e->stop();
    EXPECT_EQ(devices(), idle) << "stopped";
    e->play();
    ASSERT_TRUE(waitUntil([&] { return e->currentRow() > 0; }));
    e->release();
    EXPECT_EQ(devices(), idle) << "released";
    EXPECT_EQ(e->rendererPid(), pid);
}

// Run by RendererDiesWithThePlayer in a child process: starts a renderer,
// tells its pid and hangs it in a load (so it no longer reads its socket),
// then waits to be killed.
TEST(ModuleEngineHelper, HoldARenderer) {
    if (qEnvironmentVariableIsEmpty("KALVO2_TEST_HOLD_RENDERER"))
        GTEST_SKIP() << "only run as a helper process";
    useFastSink();
    qputenv("KALVO2_MODRENDER_HANG_ON", "hangs-renderer");
    RendererModuleEngine e;
    e.rendererPath = rendererPath();
    e.loadTimeoutMs = 60000;
    e.initialise();
    std::printf("renderer-pid %d\n", int(e.rendererPid()));
    std::fflush(stdout);
    QTemporaryDir dir;
    const QString mod = dir.filePath("hangs-renderer.mod");
    ASSERT_TRUE(fixtures::writeFixture(mod, fixtures::protrackerModule()));
    e.load(mod);
}

TEST(ModuleEngineProcess, RendererDiesWithThePlayer) {
    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALVO2_TEST_HOLD_RENDERER", "1");
    player.setProcessEnvironment(env);
    player.start("/proc/self/exe", {"--gtest_filter=ModuleEngineHelper.HoldARenderer"});
    ASSERT_TRUE(player.waitForStarted());
    QByteArray out;
    ASSERT_TRUE(waitUntil([&] {
        player.waitForReadyRead(10);
        out += player.readAllStandardOutput();
        return out.contains("renderer-pid ") && out.indexOf('\n', out.indexOf("renderer-pid ")) > 0;
    }));
    const int at = out.indexOf("renderer-pid ") + 13;
    const int pid = out.mid(at, out.indexOf('\n', at) - at).trimmed().toInt();
    ASSERT_GT(pid, 0);
    player.kill();  // SIGKILL: no destructor runs
    player.waitForFinished();
    auto gone = [pid] {
        const QByteArray stat = readAll(QString("/proc/%1/stat").arg(pid));
        const int close = stat.lastIndexOf(')');
        return stat.isEmpty() || (close > 0 && stat.mid(close + 2, 1) == "Z");
    };
    EXPECT_TRUE(waitUntil(gone)) << "the renderer must not outlive the player";
    if (!gone())
        ::kill(pid, SIGKILL);
}

TEST_F(ModuleEngineTest, RecordedCrashInputsAreSurvived) {
    // Inputs that once crashed libmodplug under the fuzzer (tests/engines/data).
    useFastSink();
    QDir data(KALVO_SOURCE_DIR "/tests/engines/data");
    const QStringList files = data.entryList({"crash-*"}, QDir::Files);
    if (files.isEmpty())
        GTEST_SKIP() << "no recorded crash inputs in tests/engines/data";
    auto e = makeEngine();
    e->loadTimeoutMs = 2000;
    for (const QString& f : files) {
        if (e->load(data.filePath(f))) {
            e->play();
            sleepMs(100);
            e->seek(1000);
            sleepMs(50);
            e->stop();
        }
    }
    ASSERT_TRUE(e->load(ends)) << "the engine works after every recorded input";
}

TEST_F(ModuleEngineTest, RealModulesFromGamePackagesPlay) {
    const QStringList mods = fixtures::realModules({"mod", "xm", "s3m", "it"});
    if (mods.isEmpty())
        GTEST_SKIP() << "no game-data module packages installed (tools/install-deps)";
    useRealTimeSink();
    auto e = makeEngine();
    for (const QString& m : mods) {
        ASSERT_TRUE(e->load(m)) << m.toStdString();
        e->play();
        EXPECT_GE(watch(*e, 700).size(), 2u) << m.toStdString();
        e->stop();
    }
    if (mods.size() < 4)
        std::printf("only %lld of 4 module types found\n", qlonglong(mods.size()));
}

}  // namespace
