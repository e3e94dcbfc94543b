#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/DeletionSound.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/GstSoundEffects.h"
#include "playback/engines/RendererModuleEngine.h"

using namespace enginetest;

namespace {

// A machine without a usable sound device: every output fails to open.
class NoAudioDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        useSink("alsasink device=hw:97,0");
    }
    QTemporaryDir dir;
};

TEST_F(NoAudioDevice, InitialiseFailsAndNothingHangs) {
    const QString wav = dir.filePath("t.wav");
    const QString mod = dir.filePath("t.mod");
    ASSERT_TRUE(fixtures::writeFixture(wav, fixtures::wavTone(0.5)));
    ASSERT_TRUE(fixtures::writeFixture(mod, fixtures::protrackerModule()));

    GstMediaEngine media;
    EXPECT_FALSE(media.initialise());
    const MediaHandle h = media.load(wav);
    EXPECT_EQ(h, 0) << "no output, no song";
    EXPECT_FALSE(media.isLoaded());
    media.play();
    EXPECT_EQ(media.position(h), 0);

    RendererModuleEngine modules;
    modules.rendererPath = rendererPath();
    QStringList logs;
    modules.logger = [&](const QString& l) { logs << l; };
    EXPECT_FALSE(modules.initialise());
    // The module still loads (the renderer lives); playing is silent, and
    // the output that does not open is told once, as for a media song.
    EXPECT_TRUE(modules.load(mod));
    modules.play();
    sleepMs(100);
    EXPECT_EQ(modules.currentRow(), 0) << "a stopped module";
    modules.stop();
    modules.release();
    ASSERT_EQ(logs.size(), 1) << logs.join('\n').toStdString();
    EXPECT_TRUE(logs[0].contains("sound output cannot play " + mod)) << logs[0].toStdString();

    GstSoundEffects sounds;
    sounds.initialise();
    ASSERT_TRUE(sounds.loadFromMemory(DeletionSoundNumber, builtinDeletionSound()));
    sounds.play(DeletionSoundNumber);
    EXPECT_EQ(sounds.activeCount(), 0) << "a sound that cannot start is not kept";
}

}  // namespace
