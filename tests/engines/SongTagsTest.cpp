// Tags read by the real engines: a tagged MP3 (with and without a cover)
// and a module's title. Hostile tags are played end to end (MprisTest).
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "EngineTestSupport.h"
#include "fixtures/Fixtures.h"
#include "playback/SongInfo.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/RendererModuleEngine.h"

using namespace enginetest;

namespace {

class MediaTags : public ::testing::Test {
protected:
    void SetUp() override {
        useFastSink();
        ASSERT_TRUE(engine.initialise());
    }
    QString mp3(const QString& name, const QStringList& lameArgs) {
        const QString path = dir.filePath(name);
        QString why;
        if (!fixtures::mp3Tone(path, 1.0, &why, true, lameArgs)) {
            ADD_FAILURE() << why.toStdString();
            return path;
        }
        return path;
    }
    QTemporaryDir dir;
    GstMediaEngine engine;
};

TEST_F(MediaTags, TitleArtistAlbumTrackAndCoverAreReadWhileTheSongLoads) {
    const QString tagged = mp3("tagged.mp3", {"--tt", "Abendlied", "--ta", "Der Chor", "--tl", "Lieder zur Nacht",
                                              "--tn", "4/12", "--id3v2-only"});
    const QString png = dir.filePath("cover.png");
    ASSERT_TRUE(fixtures::writeFixture(png, fixtures::tinyPng()));
    const QString covered = mp3("covered.mp3", {"--tt", "Mit Bild", "--ti", png});
    const QString plain = mp3("plain.mp3", {});

    const MediaHandle h = engine.load(tagged);
    ASSERT_NE(h, 0);
    SongTags tags = engine.tags();
    EXPECT_EQ(tags.title, "Abendlied");
    EXPECT_EQ(tags.artists, QList<QByteArray>{"Der Chor"});
    EXPECT_EQ(tags.album, "Lieder zur Nacht");
    EXPECT_EQ(tags.trackNumber, 4);
    EXPECT_TRUE(tags.image.isEmpty());
    const quint32 first = tags.revision;
    engine.play();
    waitUntil([&] { return engine.position(h) > 3'000'000; });
    EXPECT_EQ(engine.tags().title, "Abendlied") << "still there while it plays";

    ASSERT_NE(engine.load(covered), 0);
    tags = engine.tags();
    EXPECT_NE(tags.revision, first);
    EXPECT_EQ(tags.title, "Mit Bild");
    EXPECT_EQ(tags.image, fixtures::tinyPng());
    EXPECT_EQ(songInfoFromTags(tags).image, fixtures::tinyPng());

    ASSERT_NE(engine.load(plain), 0);
    tags = engine.tags();
    EXPECT_TRUE(tags.title.isEmpty());
    EXPECT_TRUE(tags.artists.isEmpty());
    EXPECT_TRUE(tags.image.isEmpty());
    engine.release();
    EXPECT_TRUE(engine.tags().title.isEmpty());
}

TEST(ModuleTitle, TheRendererReportsTheModulesOwnTitle) {
    useFastSink();
    QTemporaryDir dir;
    RendererModuleEngine engine;
    engine.rendererPath = rendererPath();
    ASSERT_TRUE(engine.initialise());
    QByteArray mod = fixtures::protrackerModule(2, 16, 3);
    mod.replace(0, 20, QByteArray("Sch\xF6ne Nacht\0\0\0\0\0\0\0\0\0", 20));
    const QString named = dir.filePath("named.mod");
    ASSERT_TRUE(fixtures::writeFixture(named, mod));
    mod.replace(0, 20, QByteArray(20, '\0'));
    const QString nameless = dir.filePath("nameless.mod");
    ASSERT_TRUE(fixtures::writeFixture(nameless, mod));

    ASSERT_TRUE(engine.load(named));
    EXPECT_EQ(cleanTagText(engine.moduleName(), true), QString("Schöne Nacht"));
    ASSERT_TRUE(engine.load(nameless));
    EXPECT_TRUE(cleanTagText(engine.moduleName(), true).isEmpty());
    engine.release();
    EXPECT_TRUE(engine.moduleName().isEmpty());
}

}  // namespace
