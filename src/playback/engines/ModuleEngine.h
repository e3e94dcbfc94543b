#pragma once
#include <QByteArray>
#include <QString>

// The tracker-module engine. Holds at most one module (slot 0). All calls
// come from the UI thread; pattern/row/isLoaded never block.
class ModuleEngine {
public:
    virtual ~ModuleEngine() = default;
    // Once at start-up; false when module output cannot be used.
    virtual bool initialise() = 0;
    virtual bool isLoaded() const = 0;
    // Reads the whole file and loads it; releases a module loaded before.
    // The file is not held open afterwards. False on any failure (the
    // engine is then empty).
    virtual bool load(const QString& path) = 0;
    // Starts output from the current position; returns once sound flows
    // (at most about a second).
    virtual void play() = 0;
    // Holds the output where it is, the module staying loaded and its
    // position kept; nothing when none plays. resume() goes on from there,
    // not from the start; paused() tells whether the module is held. While
    // paused, pattern and row stand still. Every play, stop, load and release
    // ends a pause; a seek keeps it. pause returns once the output is held,
    // resume and paused at once.
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual bool paused() const = 0;
    // 0..100; 0 is silence.
    virtual void setVolume(int volume) = 0;
    // Milliseconds, negative taken as 0, clamped to the song's length.
    virtual void seek(int ms) = 0;
    // Pattern and row of the sample heard; 0 when empty or stopped, frozen
    // after the natural end.
    virtual int currentPattern() const = 0;
    virtual int currentRow() const = 0;
    // Stops output; returns only after the renderer has let go of the
    // module. The module stays loaded.
    virtual void stop() = 0;
    // Stop, then free the module.
    virtual void release() = 0;

    // Scales the sound by level 0.0..1.0 on top of setVolume (the sleep
    // timer's fade, the alarm's rise). Kept across loads; 1.0 at first.
    virtual void setOutputLevel(double level) { (void)level; }
    // Linear loudness gain (>= 0, 1.0 = unchanged) on top of volume and
    // level; samples beyond full scale are held at full scale. Set before
    // play, it holds from the module's first sample; set while it plays, at
    // once. Kept across loads.
    virtual void setGain(double gain) { (void)gain; }
    // Continuous play. The module at path is to follow the song heard (a
    // module or a media song) in the output's stream, its first sample
    // right after that song's last; it replaces a module prepared before,
    // and an empty path withdraws that. False when it cannot be offered;
    // whether it loads is known only when it is due, so it may never be
    // heard (and then never adopted). Never waits for the file.
    virtual bool prepareNext(const QString& path) { (void)path; return false; }
    // Whether a media song is to follow the module that plays: its stream
    // then ends with its last sample, so the song the media engine was
    // offered follows it. Nothing when no module plays.
    virtual void endStreamAtEnd(bool mediaFollows) { (void)mediaFollows; }
    // The prepared module at path has become audible (the media engine's
    // takeJoined said so): the engine holds it from now on, playing, and
    // the module before is gone. False, changing nothing, when path is not
    // the one prepared or it did not load.
    virtual bool adoptNext(const QString& path) { (void)path; return false; }
    // The loaded module's own title as stored in the file (often not
    // UTF-8); empty when it has none or nothing is loaded. Never blocks.
    virtual QByteArray moduleName() const { return {}; }
};
