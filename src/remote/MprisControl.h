#pragma once
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <functional>

#include "base/PassEvent.h"

class Kalvo;

// What a desktop media-player request (MPRIS2: media keys, lock screen,
// sound applet, phone remotes, playerctl) asks the player to do.
enum class MprisCommand { Play, Pause, PlayPause, Stop, Next, Previous, Seek, SetPosition, SetVolume, OpenUri, Quit };
struct MprisRequest {
    MprisCommand command = MprisCommand::Play;
    qint64 micros = 0;   // Seek: offset; SetPosition: position (microseconds)
    double volume = 0;   // SetVolume: 0.0 .. 1.0
    QString text;        // SetPosition: track id; OpenUri: the local path
};

// The decisions behind the MPRIS2 interface, apart from the bus. A request
// runs as one pass of its own, exactly like a button press: through the
// controller functions of the buttons, counted as activity, dropped while a
// blocking window or message box suspends the pass. Pause holds the song
// that plays, Play and PlayPause go on with it from where it was held;
// without a paused song Play and PlayPause start like "Spielen". UI thread
// only.
class MprisControl {
public:
    explicit MprisControl(Kalvo& k) : k(k) {}

    // How a request becomes a pass: the event loop's pass runner (the
    // composition root sets it; tests call the shell's pass).
    std::function<void(const PassEvent&)> passSink;
    // Told after a pass that changed what the bus shows.
    std::function<void()> changed;

    // Runs r in a pass of its own. False when it was dropped (suspended,
    // or no pass runner).
    bool request(const MprisRequest& r);
    // The pass's dispatch of an Mpris event: carries out the pending request.
    void runPending();
    // What the bus shows from now on is the baseline of the change reports
    // (the end of start-up). Before it, the baseline is the empty player.
    void baseline();
    // End of every pass: compares what the bus shows with the last report.
    void passEnded();

    // The properties, read at any time.
    // PlaybackStatus "Playing": a song is loaded and has come neither to its
    // end nor to a pause; "Paused": a song is loaded and paused; else
    // "Stopped".
    bool playing() const;
    bool paused() const;
    QString playbackStatus() const;
    // A song plays or is paused (the bus asks that CanPause not turn false
    // because of the pause itself).
    bool canPause() const { return playing() || paused(); }
    double volume() const;                // the slider's 0..100 as 0.0..1.0
    qint64 positionMicros() const;        // 0 when nothing is loaded
    qint64 lengthMicros() const;          // media songs only; 0 otherwise
    // As of the end of the last pass (the walk to the resume song is made
    // once per pass, not per read): a present song in the list; ">|" would
    // play one (false on the last entry without "Repeat"); "|<" would (false
    // when no present entry lies before the resume song). A paused song can
    // always be played on.
    bool canPlay() const { return navigation.canPlay; }
    bool canGoNext() const { return navigation.canGoNext; }
    bool canGoPrevious() const { return navigation.canGoPrevious; }
    bool canSeek() const;                 // a song is loaded
    // mpris:trackid (as a path text), xesam:url, xesam:title (from the tags,
    // else the file name without extension), xesam:artist (a list),
    // xesam:album, xesam:trackNumber and mpris:artUrl where known,
    // mpris:length (media songs); only the trackid NoTrack when no song is
    // current. The first read for a song may write its cover into the cache.
    QVariantMap metadata() const;
    // The file:// URL of the current song's cover: its embedded image in
    // the cache folder, else a cover file beside it; empty when none.
    QString artUrl() const;
    QString currentTrackId() const;
    // MIME types of the extensions in the two pattern settings.
    QStringList supportedMimeTypes() const;
    // Why OpenUri refuses path (for the bus's error reply); empty when path
    // is an existing regular file whose extension a song pattern takes.
    QString openRefusal(const QString& path) const;

    // Changes since the last takeChanges: names of Player properties, and
    // whether a jump happened (Seeked is sent with positionMicros()).
    struct Changes {
        QStringList properties;
        bool seeked = false;
        bool any() const { return seeked || !properties.isEmpty(); }
    };
    Changes takeChanges();

    static QString trackIdFor(const QString& path);
    static QString noTrackId() { return QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"); }

private:
    bool loaded() const;  // a song is current and its engine holds it
    struct Navigation {
        bool canPlay = false;
        bool canGoNext = false;
        bool canGoPrevious = false;
    };
    Navigation findNavigation() const;
    Navigation navigation;  // as of the last baseline or pass end
    struct Shown {
        QString status;
        bool canPause = false;
        bool playing = false;
        QString song;
        int volume = -1;
        Navigation navigation;
        bool canSeek = false;
        uint32_t jumps = 0;
        uint32_t info = 0;
    };
    Shown current() const;

    Kalvo& k;
    bool hasPending = false;
    MprisRequest pending;
    Shown reported;
    Changes accumulated;
    mutable QString artFor;  // the song and tag change artUrl_ was found for
    mutable QString artUrl_;
};
