#include "playback/PlayerFixture.h"

namespace {

// Continuous play joins the next media song to the one heard: what is
// offered ahead of the end, and what changes when the join is heard.
class Continuation : public PlayerFixture {
protected:
    void SetUp() override {
        k.settings.FortwAbspielen = 1;
        k.settings.Repeat = 0;
    }
    // Ticks while the song plays on (its position moves).
    void play(int n = 1) {
        for (int i = 0; i < n; ++i) {
            t.media.pos += 1000000;
            tick();
        }
    }
    void start(const QString& resume) {
        pb.lastSongPath = resume;
        ASSERT_TRUE(pb.Spielen(QString()));
        play();
    }
    // The list a.mp3, b.mp3, started at `resume`.
    void startTwo(const QString& resume) {
        add("/m/a.mp3");
        add("/m/b.mp3");
        start(resume);
    }
};

TEST_F(Continuation, TheNextSongIsHeardWithoutALoadAndItsFieldsChangeWhenItIsHeard) {
    add("/m/a.mp3");
    add("/m/b.wav");
    add("/m/c.mp3");
    start("/m/a.mp3");
    EXPECT_EQ(t.media.prepared, "/m/b.wav") << "offered ahead of the end";
    EXPECT_EQ(t.view.song, "a.mp3");
    EXPECT_EQ(t.view.counter, "1/3");

    const int loads = count(t.media.calls, "load /m/b.wav");
    t.media.join();
    play();
    EXPECT_EQ(pb.currentSong, "/m/b.wav");
    EXPECT_EQ(t.view.song, "b.wav");
    EXPECT_EQ(t.view.counter, "2/3");
    EXPECT_EQ(pb.lastSongPath, "/m/b.wav") << "the resume point follows";
    EXPECT_EQ(pb.heardSong(), "/m/b.wav");
    EXPECT_EQ(pb.mediaHandle, t.media.handle);
    EXPECT_EQ(count(t.media.calls, "load /m/b.wav"), loads) << "the stream already plays it";
    EXPECT_EQ(count(t.media.calls, "release"), 0);
    EXPECT_FALSE(pb.halted);

    play();
    EXPECT_EQ(t.media.prepared, "/m/c.mp3");
    t.media.join();
    play(2);
    EXPECT_EQ(pb.currentSong, "/m/c.mp3");
    EXPECT_TRUE(t.media.prepared.isEmpty()) << "the end of the list without Repeat";
}

TEST_F(Continuation, OnlyWhatMusNextWouldStartIsOffered) {
    // A module, an absent song and a song no engine takes are not joined;
    // Repeat wraps to the first entry.
    struct Case { QString next; bool repeat; QString offered; };
    const QVector<Case> cases = {
        {"/m/b.mod", false, ""},
        {"/m/b.mp3", false, "/m/b.mp3"},
        {"/m/gone.mp3", false, ""},
        {"", true, "/m/a.mp3"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.next.toStdString());
        pb.Stoppen();
        k.tick.lastMediaPosition = -1;  // the fake's positions repeat from song to song
        songs.clear();
        add("/m/a.mp3");
        if (!c.next.isEmpty()) add(c.next, 0, c.next.contains("gone") ? 0 : 1000);
        k.settings.Repeat = c.repeat;
        start("/m/a.mp3");
        EXPECT_EQ(t.media.prepared, c.offered);
    }
}

TEST_F(Continuation, AChangeBeforeTheJoinStartsTheSongMusNextPicksThen) {
    startTwo("/m/a.mp3");
    ASSERT_EQ(t.media.prepared, "/m/b.mp3");

    // A new song is inserted after the current one: the offer follows.
    songs.select(0);
    songs.add()->filePath = "/m/new.mp3";
    songs.at(1).presence = 1000;
    play();
    EXPECT_EQ(t.media.prepared, "/m/new.mp3");

    // The stream has taken it, then the list changes once more: the join
    // is heard, but MusNext starts the song it picks now, as usual.
    t.media.join();
    songs.select(1);
    songs.deleteCurrent();
    play();
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(t.media.loadedPath, "/m/b.mp3");
    EXPECT_EQ(count(t.media.calls, "load /m/b.mp3"), 1);

    // The stream takes c, then, before c is heard, the list changes and a
    // look offers the new song to follow: heard, c is not taken for it.
    add("/m/c.mp3");
    play();
    ASSERT_EQ(t.media.prepared, "/m/c.mp3");
    t.media.join();
    songs.select(1);
    songs.add()->filePath = "/m/d.mp3";
    songs.at(2).presence = 1000;
    pb.prepareContinuation();
    play();
    EXPECT_EQ(pb.currentSong, "/m/d.mp3");
    EXPECT_EQ(t.media.loadedPath, "/m/d.mp3") << "what is heard is what the field names";
}

TEST_F(Continuation, AJoinThatNothingFollowsEndsTheSongAsBefore) {
    k.settings.Repeat = 1;
    startTwo("/m/b.mp3");
    ASSERT_EQ(t.media.prepared, "/m/a.mp3");
    t.media.join();
    k.settings.Repeat = 0;  // turned off after the stream took the song
    play();
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_TRUE(pb.halted);
    EXPECT_EQ(t.media.calls.last(), "stop") << "the stream that moved on is silent";
}

TEST_F(Continuation, ARefusedOfferStartsTheSongAtTheEndAsBefore) {
    t.media.prepareFails = true;
    startTwo("/m/a.mp3");
    play(3);
    EXPECT_EQ(t.media.offers.count("/m/b.mp3"), 1) << "offered once, not at every tick";
    tick();  // the position stands still: the end
    EXPECT_EQ(pb.currentSong, "/m/b.mp3");
    EXPECT_EQ(count(t.media.calls, "load /m/b.mp3"), 1);
}

}  // namespace
