// The decisions behind MPRIS2 on fakes: requests run as passes through the
// buttons' controller functions, count as activity, are dropped while the
// pass is suspended; volume, seek and metadata mapping; the change report.
#include <gtest/gtest.h>

#include "playback/PlayerFixture.h"
#include "shell/Kalvo.h"

#include <QDir>
#include <QUrl>
#include <limits>

namespace {

class MprisControlTest : public PlayerFixture {
protected:
    MprisControl& m = k.mpris;
    QString a, b, c;

    void SetUp() override {
        m.passSink = [this](const PassEvent& e) { k.shell.pass(e); };
        a = t.makeFile("music/a.wav");
        b = t.makeFile("music/b.mp3");
        c = t.makeFile("music/c.wav");
        for (const QString& p : {a, b, c}) add(p);
        t.view.volume = 70;
        // The fake engine's position stands still; with continuous play the
        // tick of each pass would take that for the song's end.
        k.settings.FortwAbspielen = 0;
        m.baseline();
    }
    bool run(MprisCommand command, qint64 micros = 0, double volume = 0, const QString& text = {}) {
        t.clock.advance(1000);
        // The song plays on between requests: the tick does not see the fake
        // position stand still and take it for the song's end.
        k.tick.lastMediaPosition = -1;
        return m.request(MprisRequest{command, micros, volume, text});
    }
};

TEST_F(MprisControlTest, RequestsRunThroughTheButtonsAndCountAsActivity) {
    EXPECT_EQ(m.playbackStatus(), "Stopped");
    EXPECT_TRUE(m.canPlay());
    ASSERT_TRUE(run(MprisCommand::Play));
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(m.playbackStatus(), "Playing");
    EXPECT_EQ(k.shell.lastActivityTime, t.clock.tickMs());

    // Play while playing changes nothing; PlayPause holds the song and goes
    // on with it, neither loading nor starting it again.
    run(MprisCommand::Play);
    EXPECT_EQ(count(t.media.calls, "play"), 1);
    run(MprisCommand::PlayPause);
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(m.playbackStatus(), "Paused");
    run(MprisCommand::PlayPause);
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(m.playbackStatus(), "Playing");
    EXPECT_EQ(count(t.media.calls, "resume"), 1);
    EXPECT_EQ(count(t.media.calls, "play"), 1);
    EXPECT_EQ(count(t.media.calls, "load " + a), 1);
    run(MprisCommand::Next);
    EXPECT_EQ(pb.currentSong, b);
    run(MprisCommand::Next);
    EXPECT_EQ(pb.currentSong, c);
    run(MprisCommand::Previous);
    EXPECT_EQ(pb.currentSong, b);
    run(MprisCommand::Pause);
    EXPECT_EQ(m.playbackStatus(), "Paused");
    EXPECT_EQ(pb.currentSong, b);
    const int plays = count(t.media.calls, "play");
    run(MprisCommand::Pause);  // held already: nothing
    EXPECT_EQ(count(t.media.calls, "pause"), 2);
    run(MprisCommand::Stop);
    EXPECT_EQ(m.playbackStatus(), "Stopped");
    run(MprisCommand::Pause);  // stopped: nothing
    EXPECT_EQ(count(t.media.calls, "pause"), 2);
    EXPECT_EQ(count(t.media.calls, "play"), plays);

    // A file URL plays that file by path: no counter, resume point kept.
    run(MprisCommand::OpenUri, 0, 0, c);
    EXPECT_EQ(pb.currentSong, c);
    EXPECT_EQ(pb.lastSongPath, b);

    run(MprisCommand::Quit);
    EXPECT_TRUE(k.shell.quitRequested);
}

// OpenUri plays only an existing file that a song pattern takes; anything
// else is refused (the bus replies with an error) and changes nothing.
TEST_F(MprisControlTest, OpenUriTakesOnlyAnExistingSongFile) {
    const QString letter = t.makeFile("Dokumente/Brief.odt");
    const QString photos = t.path("Fotos.wav");
    QDir().mkpath(photos);
    const QString gone = t.path("music/weg.wav");
    const QString noExtension = t.makeFile("music/Liesmich");
    for (const QString& p : {letter, photos, gone, noExtension, QStringLiteral("music/a.wav"), QString()})
        EXPECT_FALSE(m.openRefusal(p).isEmpty()) << p.toStdString();
    EXPECT_TRUE(m.openRefusal(c).isEmpty());

    run(MprisCommand::Play);
    ASSERT_EQ(pb.heardSong(), a);
    const int loads = count(t.media.calls, "load " + a);
    for (const QString& p : {letter, photos, gone, noExtension}) {
        run(MprisCommand::OpenUri, 0, 0, p);
        EXPECT_EQ(pb.currentSong, a);
        EXPECT_EQ(pb.heardSong(), a);
        EXPECT_EQ(m.playbackStatus(), "Playing");
    }
    EXPECT_EQ(count(t.media.calls, "load " + a), loads);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(t.logLines().last().contains(noExtension));
}

TEST_F(MprisControlTest, NothingHappensWhileABlockingWindowIsOpen) {
    k.shell.suspend();
    const uint32_t before = k.shell.lastActivityTime;
    EXPECT_FALSE(run(MprisCommand::Play));
    EXPECT_FALSE(run(MprisCommand::SetVolume, 0, 0.1));
    EXPECT_TRUE(pb.currentSong.isEmpty());
    EXPECT_EQ(t.view.volume, 70);
    EXPECT_EQ(k.shell.lastActivityTime, before);
    k.shell.resume();
    // A request that arrives later is not left over to run by itself.
    EXPECT_TRUE(run(MprisCommand::Stop));
    EXPECT_TRUE(pb.currentSong.isEmpty());
}

TEST_F(MprisControlTest, VolumeMapsToTheSliderBothWaysClamped) {
    EXPECT_DOUBLE_EQ(m.volume(), 0.7);
    run(MprisCommand::Play);
    run(MprisCommand::SetVolume, 0, 0.254);
    EXPECT_EQ(t.view.volume, 25);
    EXPECT_EQ(t.media.lastVolume, 25);
    EXPECT_DOUBLE_EQ(m.volume(), 0.25);
    run(MprisCommand::SetVolume, 0, 1.7);
    EXPECT_EQ(t.view.volume, 100);
    run(MprisCommand::SetVolume, 0, -0.5);
    EXPECT_EQ(t.view.volume, 0);
    EXPECT_EQ(t.media.lastVolume, 0);
}

TEST_F(MprisControlTest, SeekAndSetPositionFollowTheJumpRules) {
    run(MprisCommand::Play);
    t.media.pos = 100 * 10000000LL;  // 100 s into the 300 s song
    EXPECT_EQ(m.positionMicros(), 100000000);
    run(MprisCommand::Seek, 20000000);
    EXPECT_EQ(t.media.pos, 120 * 10000000LL);
    run(MprisCommand::Seek, -200000000);  // before the start: the start
    EXPECT_EQ(t.media.pos, 0);
    run(MprisCommand::Seek, 5000000);  // still at 0: a jump does nothing there
    EXPECT_EQ(t.media.pos, 0);

    t.media.pos = 10 * 10000000LL;
    run(MprisCommand::SetPosition, 250000000, 0, "/de/kalvo2/Track/0000000000000000");  // not this song
    EXPECT_EQ(t.media.pos, 10 * 10000000LL);
    run(MprisCommand::SetPosition, 250000000, 0, m.currentTrackId());
    EXPECT_EQ(t.media.pos, 250 * 10000000LL);
    run(MprisCommand::SetPosition, 300000000, 0, m.currentTrackId());  // the length itself: nothing
    EXPECT_EQ(t.media.pos, 250 * 10000000LL);
    run(MprisCommand::SetPosition, std::numeric_limits<qint64>::max(), 0, m.currentTrackId());
    EXPECT_EQ(t.media.pos, 250 * 10000000LL);
    EXPECT_EQ(pb.currentSong, a);
}

// Offsets of any size saturate instead of wrapping; one that reaches the end
// of the song acts as Next, one before its start goes to the start.
TEST_F(MprisControlTest, SeekSaturatesAndPastTheEndActsAsNext) {
    constexpr qint64 most = std::numeric_limits<qint64>::max();
    constexpr qint64 least = std::numeric_limits<qint64>::min();
    k.settings.Repeat = 0;
    run(MprisCommand::Play);
    t.media.pos = 100 * 10000000LL;  // 100 s into the 300 s song
    run(MprisCommand::Seek, least);
    EXPECT_EQ(t.media.pos, 0);
    EXPECT_EQ(pb.currentSong, a);

    t.media.pos = 100 * 10000000LL;
    run(MprisCommand::Seek, most);
    EXPECT_EQ(pb.currentSong, b);
    EXPECT_EQ(m.playbackStatus(), "Playing");
    t.media.pos = 100 * 10000000LL;
    run(MprisCommand::Seek, 200000000);  // exactly to the end
    EXPECT_EQ(pb.currentSong, c);
    // The last song without "Repeat": Next does nothing, and neither does the seek.
    t.media.pos = 100 * 10000000LL;
    run(MprisCommand::Seek, 500000000);
    EXPECT_EQ(pb.currentSong, c);
    EXPECT_EQ(t.media.pos, 100 * 10000000LL);

    // A module song's end is unknown: its engine stops there; no wrap either.
    const QString mod = t.makeFile("music/d.mod");
    add(mod);
    run(MprisCommand::OpenUri, 0, 0, mod);
    pb.positionMs = 4000;
    run(MprisCommand::Seek, most);
    EXPECT_EQ(t.modules.lastSeekMs, std::numeric_limits<int32_t>::max());
    run(MprisCommand::Seek, least);
    EXPECT_EQ(t.modules.lastSeekMs, 0);
    EXPECT_EQ(pb.currentSong, mod);
}

// CanGoNext and CanGoPrevious are false exactly where ">|" and "|<" do
// nothing, and their changes are reported.
TEST_F(MprisControlTest, CanGoNextAndPreviousOnlyWhereTheButtonsAct) {
    k.settings.Repeat = 0;
    k.shell.pass(PassEvent{});
    // Stopped with no resume point: play would start the first song.
    EXPECT_FALSE(m.canGoPrevious());
    EXPECT_TRUE(m.canGoNext());
    run(MprisCommand::Play);
    EXPECT_FALSE(m.canGoPrevious());
    EXPECT_TRUE(m.canGoNext());
    m.takeChanges();
    run(MprisCommand::Next);
    EXPECT_TRUE(m.canGoPrevious());
    EXPECT_TRUE(m.canGoNext());
    MprisControl::Changes ch = m.takeChanges();
    EXPECT_TRUE(ch.properties.contains("CanGoPrevious"));
    EXPECT_FALSE(ch.properties.contains("CanGoNext"));
    run(MprisCommand::Next);
    EXPECT_EQ(pb.currentSong, c);
    EXPECT_FALSE(m.canGoNext());
    EXPECT_TRUE(m.takeChanges().properties.contains("CanGoNext"));

    // With "Repeat" the last song goes on to the first.
    k.settings.Repeat = 1;
    k.shell.pass(PassEvent{});
    EXPECT_TRUE(m.canGoNext());
    EXPECT_TRUE(m.takeChanges().properties.contains("CanGoNext"));
    run(MprisCommand::Next);
    EXPECT_EQ(pb.currentSong, a);

    // Absent entries do not count: before b lies only the absent a.
    k.settings.Repeat = 0;
    songs.at(0).presence = -1;
    songs.at(2).presence = -1;
    pb.lastSongPath = b;
    k.shell.pass(PassEvent{});
    EXPECT_FALSE(m.canGoPrevious());
    EXPECT_FALSE(m.canGoNext());
    EXPECT_TRUE(m.canPlay());
}

TEST_F(MprisControlTest, MetadataAndTheChangeReport) {
    EXPECT_EQ(m.metadata(), (QVariantMap{{"mpris:trackid", MprisControl::noTrackId()}}));
    run(MprisCommand::Play);
    MprisControl::Changes ch = m.takeChanges();
    EXPECT_TRUE(ch.properties.contains("PlaybackStatus"));
    EXPECT_TRUE(ch.properties.contains("Metadata"));
    EXPECT_TRUE(ch.properties.contains("CanSeek"));
    EXPECT_FALSE(ch.properties.contains("Volume"));
    EXPECT_FALSE(ch.seeked);

    const QVariantMap md = m.metadata();
    EXPECT_EQ(md.value("mpris:trackid").toString(), MprisControl::trackIdFor(a));
    EXPECT_TRUE(md.value("mpris:trackid").toString().startsWith("/de/kalvo2/Track/"));
    EXPECT_EQ(md.value("xesam:url").toString(), QUrl::fromLocalFile(a).toString());
    EXPECT_EQ(md.value("xesam:title").toString(), "a");
    EXPECT_EQ(md.value("mpris:length").toLongLong(), 300000000);
    EXPECT_NE(MprisControl::trackIdFor(a), MprisControl::trackIdFor(b));

    run(MprisCommand::SetVolume, 0, 0.5);
    EXPECT_EQ(m.takeChanges().properties, QStringList{"Volume"});
    t.media.pos = 50 * 10000000LL;
    run(MprisCommand::Seek, 1000000);
    ch = m.takeChanges();
    EXPECT_TRUE(ch.seeked);
    EXPECT_TRUE(ch.properties.isEmpty());
    // A jump by the ">>" button is reported the same way.
    PassEvent button;
    button.kind = PassEvent::Kind::Control;
    button.window = MainWindowNo;
    button.item = CtlJumpForward;
    k.shell.pass(button);
    EXPECT_TRUE(m.takeChanges().seeked);
    run(MprisCommand::Next);
    EXPECT_EQ(m.takeChanges().properties, (QStringList{"Metadata", "CanGoPrevious"}));
    run(MprisCommand::Stop);
    ch = m.takeChanges();
    EXPECT_TRUE(ch.properties.contains("PlaybackStatus"));
    EXPECT_TRUE(ch.properties.contains("Metadata"));

    // Module songs: position from the controller's estimate, no length.
    const QString mod = t.makeFile("music/d.mod");
    add(mod);
    run(MprisCommand::OpenUri, 0, 0, mod);
    pb.positionMs = 4000;
    EXPECT_EQ(m.positionMicros(), 4000000);
    EXPECT_FALSE(m.metadata().contains("mpris:length"));
    EXPECT_TRUE(m.supportedMimeTypes().contains("audio/x-wav") || m.supportedMimeTypes().contains("audio/vnd.wave"));
    EXPECT_TRUE(m.supportedMimeTypes().contains("audio/mpeg"));
}

// Pause holds the song; what the bus shows follows: the status, CanPause,
// CanPlay, a position that stands, no new metadata.
TEST_F(MprisControlTest, PauseHoldsTheSongAndPlayGoesOnWithIt) {
    EXPECT_FALSE(m.canPause());
    run(MprisCommand::Play);
    EXPECT_TRUE(m.canPause());
    m.takeChanges();
    t.media.pos = 42 * 10000000LL;
    run(MprisCommand::Pause);
    EXPECT_EQ(m.playbackStatus(), "Paused");
    EXPECT_TRUE(m.canPause()) << "a paused song can still be paused: the property does not flip";
    EXPECT_TRUE(pb.paused());
    EXPECT_FALSE(pb.playing());
    EXPECT_EQ(m.takeChanges().properties, QStringList{"PlaybackStatus"});
    for (int i = 0; i < 3; ++i) {
        t.clock.advance(1000);
        k.shell.pass(PassEvent{});
    }
    EXPECT_EQ(m.positionMicros(), 42000000);
    EXPECT_EQ(m.playbackStatus(), "Paused") << "a position that stands is no end while paused";

    // With every list entry gone the held song can still be played on.
    for (int i = 0; i < songs.size(); ++i) songs.at(i).presence = -1;
    k.shell.pass(PassEvent{});
    EXPECT_TRUE(m.canPlay());
    m.takeChanges();
    run(MprisCommand::Play);
    EXPECT_EQ(m.playbackStatus(), "Playing");
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(count(t.media.calls, "resume"), 1);
    EXPECT_EQ(m.takeChanges().properties, (QStringList{"PlaybackStatus", "CanPlay"}));
    for (int i = 0; i < songs.size(); ++i) songs.at(i).presence = 1000;

    // Stop while held: stopped, nothing left to pause.
    run(MprisCommand::Pause);
    m.takeChanges();
    run(MprisCommand::Stop);
    EXPECT_EQ(m.playbackStatus(), "Stopped");
    EXPECT_FALSE(m.canPause());
    const QStringList stopped = m.takeChanges().properties;
    EXPECT_TRUE(stopped.contains("PlaybackStatus"));
    EXPECT_TRUE(stopped.contains("CanPause"));

}

TEST_F(MprisControlTest, ASongThatEndedIsStoppedUntilPlayedAgain) {
    run(MprisCommand::Play);
    m.takeChanges();
    // Without continuous play the song's position stands still at its end.
    t.media.pos = t.media.len;
    for (int i = 0; i < 2; ++i) {
        t.clock.advance(1000);
        k.shell.pass(PassEvent{});
    }
    EXPECT_EQ(pb.currentSong, a);
    EXPECT_EQ(m.playbackStatus(), "Stopped");
    EXPECT_EQ(m.takeChanges().properties, (QStringList{"PlaybackStatus", "CanPause"}));
    EXPECT_TRUE(m.canSeek());  // a jump back plays it again

    // Play and PlayPause start it again rather than stopping it.
    const int plays = count(t.media.calls, "play");
    run(MprisCommand::PlayPause);
    EXPECT_EQ(count(t.media.calls, "play"), plays + 1);
    EXPECT_EQ(m.playbackStatus(), "Playing");
}

}  // namespace
