// Modules play through the media engine's output stage: the renderer's
// samples come back to the player, where the stage's level and gain scale
// them as they scale a media song, and the stage counts a module as no
// media song.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/RendererModuleEngine.h"

using namespace enginetest;

namespace {

class OneStage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        module = dir.filePath("endless.mod");
        ASSERT_TRUE(fixtures::writeFixture(module, fixtures::protrackerModule(2, 16, 3, true)));
        modules.rendererPath = rendererPath();
        media.logger = [this](const QString& line) { logs << line; };
        modules.logger = media.logger;
    }
    void TearDown() override { useFastSink(); }

    // The module's level in dBFS as the stage's sink captured it, with the
    // stage at `level` and `gain` (set on the media engine only).
    double heardLevel(double level, double gain) {
        const QString wav = dir.filePath(QStringLiteral("heard%1.wav").arg(++captures));
        useCaptureSink(wav);
        media.setOutputLevel(level);
        media.setGain(gain);
        EXPECT_TRUE(modules.load(module));
        modules.play();
        EXPECT_TRUE(media.feeding()) << "the stage plays the module";
        EXPECT_FALSE(media.isLoaded()) << "a module is no media song";
        waitUntil([&] { return QFile(wav).size() > 44100 * 4 * 2; }, 5000);
        modules.release();
        EXPECT_FALSE(media.feeding()) << "a released module leaves the stage";
        qint64 n = 0;
        const double db = fixtures::wavLevelDb(readAll(wav), 0.1, 1.0, &n);
        EXPECT_GT(n, 44100) << "capture too short";
        return db;
    }

    QTemporaryDir dir;
    QString module;
    GstMediaEngine media;
    RendererModuleEngine modules{media};
    QStringList logs;
    int captures = 0;
};

TEST_F(OneStage, TheStagesLevelAndGainScaleAModule) {
    const double full = heardLevel(1.0, 1.0);
    ASSERT_GT(full, -30.0) << "the fixture must be audible";
    EXPECT_NEAR(heardLevel(0.5, 1.0), full - 6.02, 0.3) << "the fade's level";
    EXPECT_NEAR(heardLevel(1.0, 0.25), full - 12.04, 0.3) << "the loudness gain";
    EXPECT_LT(heardLevel(0.0, 1.0), -150.0) << "level 0 is silence";
    EXPECT_TRUE(logs.isEmpty()) << logs.join('\n').toStdString();
}

// After a module the same stage plays a media song, and a module after it.
TEST_F(OneStage, MediaAndModulesTakeTurnsOnTheStage) {
    useFastSink();
    const QString song = dir.filePath("song.wav");
    ASSERT_TRUE(fixtures::writeFixture(song, fixtures::wavTone(1.0)));
    ASSERT_TRUE(modules.load(module));
    modules.play();
    ASSERT_TRUE(waitUntil([&] { return modules.currentRow() > 0; }));
    modules.stop();
    const MediaHandle h = media.load(song);
    ASSERT_NE(h, 0);
    EXPECT_TRUE(media.isLoaded());
    EXPECT_FALSE(media.feeding());
    media.play();
    EXPECT_TRUE(waitUntil([&] { return media.position(h) > 0; }));
    media.release();
    modules.play();
    EXPECT_TRUE(media.feeding());
    EXPECT_TRUE(waitUntil([&] { return modules.currentRow() > 0; }));
    modules.release();
    EXPECT_TRUE(logs.isEmpty()) << logs.join('\n').toStdString();
}

}  // namespace
