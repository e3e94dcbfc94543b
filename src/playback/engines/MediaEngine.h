#pragma once
#include <QString>
#include <QtGlobal>
#include "playback/engines/SongTags.h"

// Handle of the song loaded into the media engine; 0 means none.
using MediaHandle = int;

// The media engine: plays whatever the installed decoders take. Holds at
// most one song. All calls come from the UI thread; queries never block.
class MediaEngine {
public:
    virtual ~MediaEngine() = default;
    // Once at start-up; false when media output cannot be used.
    virtual bool initialise() = 0;
    virtual bool isLoaded() const = 0;
    // Synchronous: builds the decoding chain and prerolls before returning.
    // Releases a song loaded before. Returns 0 (and leaves the engine empty)
    // when no decoder takes the file.
    virtual MediaHandle load(const QString& path) = 0;
    // After a load that returned 0: true when the sound output failed (no
    // sound server, a device gone), not the file. The engine has logged
    // the output's own words.
    virtual bool outputFailed() const { return false; }
    // Switches position, length and seek to 100-ns units.
    virtual void setTimeUnit(MediaHandle h) = 0;
    // volume 0..100 (0 = silence, 100 = full level), balance -100..100.
    virtual void setAudio(int volume, int balance) = 0;
    // Starts playing from the current position; returns once the pipeline runs.
    virtual void play() = 0;
    // Holds the song where it is, the song staying loaded; nothing when none
    // plays. resume() goes on from there (once sound flows again, as play);
    // paused() tells whether the song is held. Every play, stop, load and
    // release ends a pause; a seek keeps it.
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual bool paused() const = 0;
    // Length and position in 100-ns units; 0 when nothing is loaded.
    // While a song plays and has not ended, no two readings are equal;
    // the position stays constant once the song has ended, and while it is
    // paused (which is not its end).
    virtual qint64 length(MediaHandle h) = 0;
    virtual qint64 position(MediaHandle h) = 0;
    // Absolute seek of the current position; the stop position stays.
    virtual void seek(MediaHandle h, qint64 position) = 0;
    // Stops and rewinds to 0; the song stays loaded.
    virtual void stop() = 0;
    // Frees the song; the file is closed when this returns.
    virtual void release() = 0;

    // Scales the sound by level 0.0..1.0 on top of setAudio's volume (the
    // sleep timer's fade, the alarm's rise). Kept across loads; 1.0 at first.
    virtual void setOutputLevel(double level) { (void)level; }
    // Linear loudness gain (>= 0, 1.0 = unchanged) on top of volume and
    // level. Set before a load, it holds from the song's first sample; set
    // while a song plays, at once. Kept across loads.
    virtual void setGain(double gain) { (void)gain; }
    // The loudness gain of the song offered to follow (prepareNext, or a
    // module's feed), to hold from its first sample; set after the offer,
    // it lasts until the next one. Negative: none.
    virtual void setNextGain(double gain) { (void)gain; }
    // Continuous play: the song at path is to follow the loaded one in the
    // same stream, its first sample right after the last one of the song
    // heard. False when the engine cannot join it (nothing loaded, the file
    // cannot be read); the caller then starts it as usual once the song
    // heard has ended. An empty path withdraws what was prepared, as far as
    // the stream has not taken it yet. Never blocks.
    virtual bool prepareNext(const QString& path) { (void)path; return false; }
    // Once the prepared song has become audible: its handle (the engine now
    // holds it, the song before is gone), and 0 at every other call. Its
    // position, length and tags start afresh. Never blocks.
    virtual MediaHandle takeJoined() { return 0; }
    // The path of the song the stream holds (after a join, the one joined;
    // a feed by the name it was started or offered under); empty when none.
    // Never blocks.
    virtual QString heldPath() const { return {}; }
    // The tags of the loaded song, as far as its streams delivered them:
    // while it loaded, and later tag events seen by the queries. Empty when
    // nothing is loaded. Never blocks.
    virtual SongTags tags() { return {}; }
};
