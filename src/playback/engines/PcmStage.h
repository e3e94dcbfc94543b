#pragma once
#include <QString>
#include <QtGlobal>

// The player's output stage as a module engine sees it: it plays raw PCM
// that a renderer writes into a pipe (signed 16-bit little-endian, stereo,
// 44,100 Hz, interleaved) through the same pipeline, sink, volume, level
// and gain as every media song. The end of the pipe's data is the end of
// the song. UI thread only.
class PcmStage {
public:
    static constexpr int Rate = 44100;
    static constexpr int Channels = 2;
    static constexpr int BytesPerFrame = 4;

    virtual ~PcmStage() = default;
    // Whether a sound output can be opened at all.
    virtual bool outputOpens() = 0;
    // Takes the read end of a pipe (closed by the stage in every case) and
    // starts playing what arrives there, releasing any song held before.
    // Blocks until the first samples play; false when the output fails (the
    // stage has logged why, naming `name`).
    virtual bool startFeed(int fd, const QString& name) = 0;
    // Continuous play: the feed whose pipe's read end is fd (closed by the
    // stage in every case) is to follow the song heard in the same stream,
    // its first sample right after that song's last, as
    // MediaEngine::prepareNext offers a file; it replaces what was offered
    // before, and fd -1 withdraws that. The join is reported by the media
    // engine's takeJoined, after which the stage holds the feed. False when
    // nothing plays that it could follow. Never blocks.
    virtual bool offerFeed(int fd, const QString& name) = 0;
    // Holds and resumes the feed's output where it is; the sink keeps what
    // it holds, so nothing is lost or heard twice.
    virtual void pauseFeed() = 0;
    virtual void resumeFeed() = 0;
    // Stops the feed and closes the pipe; the sink lets go of its device.
    virtual void stopFeed() = 0;
    // A feed is held (playing, paused or at its end).
    virtual bool feeding() const = 0;
    // Frames of the feed heard so far (paused: where it is held); -1 when
    // no feed plays or the output cannot tell. Never blocks.
    virtual qint64 feedFramesHeard() = 0;
    // The feed ended by a failure of the sound output (logged once).
    virtual bool feedFailed() = 0;
    // The module volume 0..100, linear (0 is silence); level and gain are
    // those of the media songs.
    virtual void setFeedVolume(int volume) = 0;
    virtual void setOutputLevel(double level) = 0;
    virtual void setGain(double gain) = 0;
};
