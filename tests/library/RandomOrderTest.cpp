#include <gtest/gtest.h>

#include "library/ScanTestSupport.h"

namespace {

class Order : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    SongLibrary& lib = k.library;
    void add(const QString& path, int32_t key) { lib.songList.append(SongEntry{path, key, 1}); }
    QStringList paths() const { return relativePaths(lib.songList, QString()); }
};

TEST(PathOrder, FoldsOnlyAToZAndComparesCodeUnits) {
    EXPECT_TRUE(pathLess(QStringLiteral("/m/A.mp3"), QStringLiteral("/m/b.mp3")));
    EXPECT_TRUE(pathLess(QStringLiteral("/m/b.mp3"), QStringLiteral("/m/C.mp3")));
    EXPECT_FALSE(pathLess(QStringLiteral("/m/a.mp3"), QStringLiteral("/m/A.mp3")));
    EXPECT_FALSE(pathLess(QStringLiteral("/m/A.mp3"), QStringLiteral("/m/a.mp3")));
    // Umlauts are not folded and sort by code value, after z.
    EXPECT_TRUE(pathLess(QStringLiteral("/m/z.mp3"), QStringLiteral("/m/Ä.mp3")));
    EXPECT_TRUE(pathLess(QStringLiteral("/m/Ä.mp3"), QStringLiteral("/m/ä.mp3")));
    // "_" (0x5F) lies between "Z" and "a": folding puts it before letters.
    EXPECT_TRUE(pathLess(QStringLiteral("/m/_x"), QStringLiteral("/m/A")));
    EXPECT_TRUE(pathLess(QStringLiteral("/m/a"), QStringLiteral("/m/a/b")));
    EXPECT_FALSE(pathLess(QStringLiteral("/m/a/b"), QStringLiteral("/m/a")));
    // UTF-16 code units: a surrogate pair sorts below U+FF5A.
    EXPECT_TRUE(pathLess(QString::fromUtf8("/m/\xF0\x9F\x8E\xB5"), QString::fromUtf8("/m/\xEF\xBD\x9A")));
}

TEST_F(Order, PathOrderIsStableForNamesEqualUpToCase) {
    add(QStringLiteral("/m/c.mp3"), 1);
    add(QStringLiteral("/m/b.mp3"), 2);
    add(QStringLiteral("/m/A.mp3"), 3);
    add(QStringLiteral("/m/ä.mp3"), 4);
    add(QStringLiteral("/m/a.mp3"), 5);
    add(QStringLiteral("/m/Ä.mp3"), 6);
    lib.LiederSortieren();
    EXPECT_EQ(paths(), (QStringList{"/m/A.mp3", "/m/a.mp3", "/m/b.mp3", "/m/c.mp3", QStringLiteral("/m/Ä.mp3"),
                                    QStringLiteral("/m/ä.mp3")}));
    EXPECT_EQ(k.settings.ZufallAbspielen, 0);
}

TEST_F(Order, RandomOrderIsSignedAndStableAndTogglesBackExactly) {
    add(QStringLiteral("/m/a.mp3"), 50);
    add(QStringLiteral("/m/b.mp3"), 7);
    add(QStringLiteral("/m/c.mp3"), 0);
    add(QStringLiteral("/m/d.mp3"), 7);
    add(QStringLiteral("/m/e.mp3"), INT32_MIN);
    add(QStringLiteral("/m/f.mp3"), 2147483647);
    add(QStringLiteral("/m/g.mp3"), -1);
    t.view.zufall = true;
    lib.RandomOrderChanged();
    const QStringList shuffled = paths();
    EXPECT_EQ(shuffled, (QStringList{"/m/e.mp3", "/m/g.mp3", "/m/c.mp3", "/m/b.mp3", "/m/d.mp3", "/m/a.mp3",
                                     "/m/f.mp3"}));
    EXPECT_EQ(k.settings.ZufallAbspielen, 1);
    t.view.zufall = false;
    lib.RandomOrderChanged();
    EXPECT_EQ(paths(), (QStringList{"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3", "/m/e.mp3", "/m/f.mp3",
                                    "/m/g.mp3"}));
    t.view.zufall = true;
    lib.RandomOrderChanged();
    EXPECT_EQ(paths(), shuffled);
}

TEST_F(Order, NewKeysOnlyAfterYes) {
    add(QStringLiteral("/m/a.mp3"), 10);
    add(QStringLiteral("/m/b.mp3"), 20);
    add(QStringLiteral("/m/c.mp3"), 30);
    lib.songList.append(SongEntry{QStringLiteral("/m/d.mp3"), 40, -4});  // absent songs too
    t.view.zufall = true;
    k.playback.lastSongKey = 20;
    t.messages.answers = {false};
    lib.ZufallswerteNeu();
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, QStringLiteral("Zufällige Reihenfolge neu erstellen?"));
    EXPECT_TRUE(t.messages.shown[0].ask);
    EXPECT_EQ(paths(), (QStringList{"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3"}));
    EXPECT_EQ(lib.songList.at(0).randomKey, 10);
    EXPECT_EQ(k.playback.lastSongKey, 20);

    t.messages.answers = {true};
    t.random.script = {300, 200, 100, 50};
    lib.ZufallswerteNeu();
    EXPECT_EQ(paths(), (QStringList{"/m/d.mp3", "/m/c.mp3", "/m/b.mp3", "/m/a.mp3"}));
    EXPECT_EQ(lib.songList.at(0).randomKey, 50);
    EXPECT_EQ(lib.songList.at(0).presence, -4);
    EXPECT_EQ(lib.songList.at(1).randomKey, 100);
    EXPECT_NE(k.playback.lastSongKey, 20);  // the old resume point is gone

    t.messages.answers = {true};
    t.random.script = {7, 7, 8, 7, 8, 9};  // a key already dealt is dealt again
    lib.ZufallswerteNeu();
    QList<int32_t> keys;
    for (const SongEntry& e : lib.songList.raw()) keys << e.randomKey;
    EXPECT_EQ(keys, (QList<int32_t>{7, 8, 9, 1000}));
}

}  // namespace
