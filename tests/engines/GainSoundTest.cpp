// The loudness gain as captured from both real engines: set before the
// start it holds from the first sample, and a gain that would overdrive the
// samples holds them at full scale instead of wrapping them around.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtEndian>
#include <cstdlib>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/RendererModuleEngine.h"

using namespace enginetest;

namespace {

class GainSound : public ::testing::Test {
protected:
    void TearDown() override { useFastSink(); }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeFixture(path, bytes));
        return path;
    }
    QString nextCapture() { return dir.filePath(QStringLiteral("heard%1.wav").arg(++captures)); }

    // The first second of a media song played at `gain`, as captured.
    QByteArray media(const QString& song, double gain) {
        const QString wav = nextCapture();
        useCaptureSink(wav);
        GstMediaEngine e;
        e.setGain(gain);
        const MediaHandle h = e.load(song);
        EXPECT_NE(h, 0);
        e.play();
        waitUntil([&] { return QFile(wav).size() > 44100 * 4; }, 5000);
        e.release();
        return readAll(wav);
    }
    // The first second of a module played at `gain`, as captured.
    QByteArray module(const QString& song, double gain) {
        const QString wav = nextCapture();
        useCaptureSink(wav);
        RendererModuleEngine e;
        e.rendererPath = rendererPath();
        e.setGain(gain);
        EXPECT_TRUE(e.load(song));
        e.play();
        waitUntil([&] { return QFile(wav).size() > 44100 * 4 * 2; }, 5000);
        e.release();
        return readAll(wav);
    }
    // Whether any two neighbouring samples jump by more than half the range
    // (a sample wrapped around at full scale).
    static bool wraps(const QByteArray& wavImage) {
        const int data = int(wavImage.indexOf("data")) + 8;
        for (int i = data + 4; i + 2 <= wavImage.size(); i += 2) {
            const int a = qFromLittleEndian<qint16>(wavImage.constData() + i - 4);  // same channel
            const int b = qFromLittleEndian<qint16>(wavImage.constData() + i);
            if (std::abs(a - b) > 32768) return true;
        }
        return false;
    }

    QTemporaryDir dir;
    int captures = 0;
};

TEST_F(GainSound, BothEnginesPlayAtTheGainFromTheFirstSample) {
    const QString tone = write("tone.wav", fixtures::wavTone(2.0, 440.0, 0.25, 44100, 2));
    const QString mod = write("tone.mod", fixtures::protrackerModule(3, 16, 3, false));
    struct Case { const char* what; bool isModule; };
    for (const Case c : {Case{"media", false}, Case{"module", true}}) {
        SCOPED_TRACE(c.what);
        const auto play = [&](double gain) { return c.isModule ? module(mod, gain) : media(tone, gain); };
        const QByteArray unchanged = play(1.0);
        const QByteArray half = play(0.5);
        const double full = fixtures::wavLevelDb(unchanged, 0.0, 0.5);
        // From the very start: the first 50 ms already 6 dB down.
        EXPECT_NEAR(fixtures::wavLevelDb(half, 0.0, 0.05) - fixtures::wavLevelDb(unchanged, 0.0, 0.05), -6.02, 0.2);
        EXPECT_NEAR(fixtures::wavLevelDb(half, 0.0, 0.5) - full, -6.02, 0.2);
        const QByteArray loud = play(8.0);
        EXPECT_GT(fixtures::wavLevelDb(loud, 0.0, 0.5), full + 3.0) << "louder";
        EXPECT_FALSE(wraps(loud)) << "held at full scale, never wrapped around";
    }
}

}  // namespace
