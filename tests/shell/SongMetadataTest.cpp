// What the desktop is told of a song, on fakes: tag texts cleaned, the
// file name where tags say nothing, later tag events reported, module
// titles, and the cover as a cached file or a picture beside the song.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "playback/PlayerFixture.h"
#include "playback/SongInfo.h"
#include "shell/CoverArt.h"

namespace {

const QByteArray Png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
const QByteArray Jpeg("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);

TEST(TagText, UntrustedTextsAreCleanedAndCut) {
    EXPECT_EQ(cleanTagText("  Gute Nacht \r\n"), "Gute Nacht");
    EXPECT_EQ(cleanTagText("Bell\x07\x1B[31mrot\x7F"), "Bell[31mrot");
    EXPECT_EQ(cleanTagText("Zeile\xE2\x80\xA8zwei"), "Zeile zwei");  // U+2028
    EXPECT_EQ(cleanTagText("Album\r\nZwei\t \tDrei"), "Album Zwei Drei");
    // Invalid UTF-8: each bad sequence becomes one replacement character.
    const QString bad = cleanTagText("K\xC3\x28nig \xFF\xFE");
    EXPECT_EQ(bad, QString("K\uFFFD(nig \uFFFD\uFFFD"));
    EXPECT_EQ(cleanTagText(QByteArray("a\0b", 3)), "ab");
    // Module titles are mostly Latin-1 or code page text, not UTF-8.
    EXPECT_EQ(cleanTagText("Sch\xF6n", true), QString("Schön"));
    EXPECT_EQ(cleanTagText("Sch\xC3\xB6n", true), QString("Schön"));

    const QString huge = cleanTagText(QByteArray(100 * 1024, 'x'));
    EXPECT_EQ(huge.size(), SongInfo::MaxTextLength);
    // A cut never splits a character made of two code units.
    QByteArray emoji(999, 'y');
    for (int i = 0; i < 10; ++i) emoji += "\xF0\x9F\x8E\xB5";  // U+1F3B5
    const QString cut = cleanTagText(emoji);
    EXPECT_EQ(cut.size(), 999);
    EXPECT_FALSE(cut.back().isSurrogate());
    EXPECT_TRUE(cleanTagText(QByteArray(5000, ' ') + "spät").endsWith("spät"));
}

TEST(TagText, OnlyJpegOrPngImagesOfAllowedSizeAreKept) {
    SongTags tags;
    tags.title = "T";
    tags.artists = {"A", "", "A", "B"};
    tags.trackNumber = 7;
    tags.image = Png;
    SongInfo info = songInfoFromTags(tags);
    EXPECT_EQ(info.artists, (QStringList{"A", "B"}));
    EXPECT_EQ(info.trackNumber, 7);
    EXPECT_EQ(info.image, Png);
    tags.image = "GIF89a....";
    EXPECT_TRUE(songInfoFromTags(tags).image.isEmpty());
    tags.image = Jpeg;
    tags.imageTooLarge = true;
    EXPECT_TRUE(songInfoFromTags(tags).image.isEmpty());
    tags.imageTooLarge = false;
    tags.image = Jpeg + QByteArray(SongTags::MaxImageBytes, '\0');
    EXPECT_TRUE(songInfoFromTags(tags).image.isEmpty());
}

class SongMetadata : public PlayerFixture {
protected:
    MprisControl& m = k.mpris;
    QString cache;
    void SetUp() override {
        cache = t.path("cache/");
        qputenv("XDG_CACHE_HOME", t.path("cache").toLocal8Bit());
        k.settings.TrackerModDateiPattern = "*.mod";
        k.settings.WinMediaDateiPattern = "*.mp3;*.wav";
        k.settings.FortwAbspielen = 0;
        m.baseline();
    }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }
    QStringList cached() const {
        return QDir(cache + "Kalvo2").entryList(QDir::Files, QDir::Name);
    }
};

TEST_F(SongMetadata, TagsGoToTheDesktopAndLaterTagEventsAreReported) {
    const QString song = t.makeFile("music/01 lied.mp3");
    t.media.songTags.title = "Abendlied";
    t.media.songTags.artists = {"Chor\x01", "Orchester"};
    t.media.songTags.album = QByteArray(3000, 'L');
    t.media.songTags.trackNumber = 3;
    t.media.songTags.revision = 1;
    ASSERT_TRUE(pb.Spielen(song));
    EXPECT_EQ(t.view.song, "01 lied.mp3") << "the song field keeps the file name";
    QVariantMap md = m.metadata();
    EXPECT_EQ(md.value("xesam:title").toString(), "Abendlied");
    EXPECT_EQ(md.value("xesam:artist").toStringList(), (QStringList{"Chor", "Orchester"}));
    EXPECT_EQ(md.value("xesam:album").toString(), QString(1000, 'L'));
    EXPECT_EQ(md.value("xesam:trackNumber").toInt(), 3);
    EXPECT_FALSE(md.contains("mpris:artUrl"));
    m.passEnded();
    m.takeChanges();

    // A stream tells a new title while it plays.
    t.media.songTags.title = "Nachtlied";
    t.media.songTags.revision = 2;
    t.media.pos += 1000000;
    tick();
    m.passEnded();
    EXPECT_TRUE(m.takeChanges().properties.contains("Metadata"));
    EXPECT_EQ(m.metadata().value("xesam:title").toString(), "Nachtlied");
    // Nothing new: nothing reported.
    t.media.pos += 1000000;
    tick();
    m.passEnded();
    EXPECT_FALSE(m.takeChanges().properties.contains("Metadata"));

    // A file without tags shows its file name, and nothing of the song before.
    const QString plain = t.makeFile("music/ohne.wav");
    t.media.songTags = SongTags{};
    t.media.songTags.revision = 3;
    ASSERT_TRUE(pb.Spielen(plain));
    md = m.metadata();
    EXPECT_EQ(md.value("xesam:title").toString(), "ohne");
    EXPECT_FALSE(md.contains("xesam:artist"));
    EXPECT_FALSE(md.contains("xesam:album"));
    EXPECT_FALSE(md.contains("xesam:trackNumber"));

    // A module shows its own title; one without a title its file name.
    const QString mod = t.makeFile("music/tanz.mod");
    t.modules.name = "  sch\xF6ner Tanz\0\0";
    ASSERT_TRUE(pb.Spielen(mod));
    EXPECT_EQ(m.metadata().value("xesam:title").toString(), QString("schöner Tanz"));
    t.modules.name.clear();
    ASSERT_TRUE(pb.Spielen(mod));
    EXPECT_EQ(m.metadata().value("xesam:title").toString(), "tanz");

    // A failed start shows nothing of the tags of the song heard before.
    t.media.songTags.title = "Alt";
    ASSERT_TRUE(pb.Spielen(song));
    t.media.failLoads << plain;
    EXPECT_FALSE(pb.Spielen(plain));
    EXPECT_EQ(m.metadata().value("xesam:title").toString(), "ohne");
}

TEST_F(SongMetadata, TheEmbeddedCoverIsWrittenOnceByItsHashElseAPictureBesideTheSongIsShown) {
    const QString song = t.makeFile("album/lied.mp3");
    t.media.songTags.image = Png + "bild-eins";
    t.media.songTags.revision = 1;
    ASSERT_TRUE(pb.Spielen(song));
    const QString url = m.metadata().value("mpris:artUrl").toString();
    ASSERT_TRUE(url.startsWith("file://")) << url.toStdString();
    const QString file = QUrl(url).toLocalFile();
    EXPECT_TRUE(file.startsWith(cache + "Kalvo2/cover-"));
    EXPECT_TRUE(file.endsWith(".png"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), Png + "bild-eins");
    // The same image again (another song of the album): the same file.
    const QString other = t.makeFile("album/lied2.mp3");
    ASSERT_TRUE(pb.Spielen(other));
    EXPECT_EQ(m.metadata().value("mpris:artUrl").toString(), url);
    EXPECT_EQ(cached().size(), 1);

    // No embedded image: cover, folder or front beside the song, any case.
    t.media.songTags.image.clear();
    t.makeFile("album/Front.PNG");
    ASSERT_TRUE(pb.Spielen(song));
    EXPECT_EQ(m.metadata().value("mpris:artUrl").toString(), QUrl::fromLocalFile(t.path("album/Front.PNG")).toString());
    t.makeFile("album/FOLDER.jpg");
    ASSERT_TRUE(pb.Spielen(song));
    EXPECT_EQ(m.metadata().value("mpris:artUrl").toString(), QUrl::fromLocalFile(t.path("album/FOLDER.jpg")).toString());
    // Not an image of an allowed kind: the picture beside it.
    t.media.songTags.image = "<svg>";
    ASSERT_TRUE(pb.Spielen(song));
    EXPECT_EQ(m.metadata().value("mpris:artUrl").toString(), QUrl::fromLocalFile(t.path("album/FOLDER.jpg")).toString());
}

TEST_F(SongMetadata, TheCoverCacheKeepsOnlyTheRecentCovers) {
    const QString folder = cache + "Kalvo2/";
    QDir().mkpath(folder);
    QFile mine(folder + "notes.txt");  // not a cover: never removed
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.close();
    QString first;
    for (int i = 0; i < CoverArt::CacheKeep + 5; ++i) {
        const QString p = CoverArt::cachedImage(Jpeg + QByteArray::number(i), folder);
        ASSERT_FALSE(p.isEmpty());
        if (i == 0) first = p;
        // Distinct times, so that the order of use is clear.
        QFile touch(p);
        ASSERT_TRUE(touch.open(QIODevice::ReadWrite));
        touch.setFileTime(QDateTime::currentDateTime().addSecs(i - 1000), QFileDevice::FileModificationTime);
    }
    const QStringList left = cached();
    EXPECT_LE(left.size(), CoverArt::CacheKeep + 1);
    EXPECT_TRUE(left.contains("notes.txt"));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(CoverArt::cachedImage("not an image", folder).isEmpty());
}

}  // namespace
