#pragma once
#include <QString>
#include <QVector>
#include <cstdint>
#include "playback/OutputStage.h"
#include "playback/SongInfo.h"
#include "playback/engines/MediaEngine.h"

class Kalvo;
struct SongEntry;

// Which song is current, which engine plays it, and the transport commands.
// UI thread only.
class PlaybackController {
public:
    explicit PlaybackController(Kalvo& k);

    // Level and loudness gain of what plays. Its gain provider is asked for
    // each song right before the song loads.
    OutputStage output;

    QString currentSong;    // empty: no song
    QString lastSongPath;   // resume point in path order
    int32_t lastSongKey = 0;  // resume point in random order; 0 = none
    // The path of the resume song in random order: of several entries with
    // lastSongKey (a list written elsewhere may hold twins) it names the one.
    QString lastSongTwin;
    QString offeredSong;
    uint8_t moduleSong = 0;
    MediaHandle mediaHandle = 0;
    int32_t volume = 50;
    int32_t positionMs = 0;
    // The media song's length as the time field shows it (100-ns units); the
    // tick shows it anew when the engine learns a different one.
    qint64 mediaLength = 0;
    // The current song came to its end, or the loop guard stopped it, and
    // nothing follows: it stays current but is silent. The tick sets it;
    // every start and stop clears it, and so does a jump in a media song
    // (a seek plays an ended stream again; a stopped module stays silent).
    bool halted = false;
    // What the tags of the song heard say, cleaned, and the song they belong
    // to (empty: none yet). infoChanges counts every change of either.
    SongInfo songInfo;
    QString infoSong;
    uint32_t infoChanges = 0;

    // Makes path (or, when empty, the resume song of SongList) current and
    // shows it; false for an empty list or an extension in neither pattern.
    // Walks the list once; plays nothing.
    bool LiedBestimmen(const QString& path);
    // Where a determination from the list would put the cursor, changing
    // nothing: the entry (-1 for an empty list), the present entries passed
    // up to and including it, and the resume point it would leave.
    struct Resume {
        int index = -1;
        int passed = 0;
        QString lastPath;
        int32_t lastKey = 0;
        QString lastTwin;
    };
    Resume findResume() const;
    // Determines and starts the song; false (with message box or error beep)
    // when nothing could be started. Blocks while the engine loads. A start
    // that fails for a song that is not the one heard releases what plays,
    // so nothing is heard that the song field does not name.
    bool Spielen(const QString& path);
    // The song an engine holds (playing, halted or at its end): the path the
    // last successful start loaded; empty when neither engine holds a song.
    // currentSong may name another path (a failed start, a determination
    // without playing); the delete takes this one.
    QString heardSong() const;
    // Stops and releases any loaded song, empties currentSong; saves the list
    // quietly when the last save is more than 120 s old.
    void Stoppen();
    // Holds the song that plays where it is; it stays loaded and current, so
    // every command acts on it as on a playing one (a start loads it anew, a
    // stop releases it). False when no song plays.
    bool Pausieren();
    // Goes on with the paused song from where it was held; false when none
    // is paused.
    bool Fortsetzen();
    // A song is heard: an engine holds it, and it has neither come to its
    // end (halted) nor been paused.
    bool playing() const;
    // The song an engine holds is paused.
    bool paused() const;
    // Next entry of SongList (wrapping with Repeat) / previous present entry
    // that loads (no wrap).
    void MusNext();
    void MusPrev();
    // Jumps by SprungwertWM seconds in the loaded song; nothing when none.
    void VorwaertsSpringen();
    void ZurueckSpringen();
    // The jump by delta (100-ns units, negative: back) under the same rules:
    // modules move positionMs; a media song that has not left position 0
    // stays, a forward jump past the end does nothing, a backward one stops
    // at 0. Counts every jump carried out in jumpCount.
    void Springen(qint64 delta);
    uint32_t jumpCount = 0;  // jumps carried out so far; wraps
    // Reads the volume slider, adds delta clamped to 0..100, applies it.
    void Lautstaerke(int32_t delta);
    // The deletion sound, or the notice beep when it is missing.
    void LoeschTon();
    // Continuous play ahead of a song's end: offers the engine of the song
    // MusNext would start then (a module to the module engine, a media song
    // to the media engine) that song, and withdraws it when that changes
    // (the list, the order, Repeat, the song's presence). The tick calls it
    // on every look at a playing song.
    void prepareContinuation();
    // The song the engine joined has become audible: it is made current as
    // MusNext would make it, keeping the stream that plays it. When MusNext
    // now picks another song, that one starts as usual instead.
    void joinContinuation(MediaHandle joined);
    // Takes the tags of the song heard from its engine when they changed
    // since the last look (a stream's tag event while it plays); cheap when
    // nothing changed. Never blocks.
    void takeTags();

private:
    Kalvo& k;
    // MusNext on the last entry without Repeat changes nothing but the
    // fields. Remembered so that the calls that follow (the tick makes one
    // each pass) show the same fields without walking the list again; any
    // other determination, a change of the list's length or cursor, or of
    // Repeat or the order, forgets it.
    struct EndStand {
        bool valid = false;
        int size = 0;
        QString song;
        QString counter;
        bool random = false;
        QString lastPath;
        int32_t lastKey = 0;
    } endStand;
    QString determinedCounter;  // the counter text of the last walk
    QString loadedPath;  // what the last successful start loaded
    // Offered to the media engine to follow the song heard (empty: that
    // nothing follows); offered tells whether anything was offered since the
    // song started, as the engine waits for a word after each join.
    QString preparedSong;
    bool preparedModule = false;  // preparedSong was offered to the module engine
    bool offered = false;
    MediaHandle joinedHandle = 0;  // a start takes this stream instead of loading
    QString continuationSong() const;
    // 1 for a module, 0 for a media song, -1 for neither, by the patterns.
    int songKind(const QString& path) const;
    quint32 tagRevision = 0;  // of the media engine's tags in songInfo
    bool repeatEndStand();
    int presentCount() const;
    void forgetPrepared();
    void releaseMedia();
    void releaseModule();
    void releaseAll();
    void makeResumePoint(const SongEntry& e);
    // The entry after first with lastSongKey that lastSongTwin names, present
    // or not; first when there is none. An absent twin resumes at the next
    // present entry after it, as an absent resume song does.
    int findTwin(const QVector<SongEntry>& items, int first) const;
};

// "%hh:%ii:%ss" of a count of seconds, wrapping at a day.
QString timeText(qint64 seconds);
// Lower-cased text after the last "." of the file name; empty when none.
QString songExtension(const QString& path);
// Up to and including the last native separator; empty when there is none.
QString folderPart(const QString& path);
// Whether path, lower-cased (Unicode), is greater than lowerOther in
// ordinal UTF-16 order. lowerOther must already be lower-cased.
bool lowerPathGreater(const QString& path, const QString& lowerOther);
