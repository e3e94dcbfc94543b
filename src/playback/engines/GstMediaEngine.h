#pragma once
#include <QString>
#include <functional>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "playback/engines/MediaEngine.h"
#include "playback/engines/PcmStage.h"

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;
typedef struct _GstSample GstSample;

// The media engine on GStreamer playbin. The sink comes from
// KALVO2_AUDIO_SINK (gst-launch syntax) or autoaudiosink. Pictures are never
// shown: video decoding is switched off, so a file with a picture stream
// plays its sound and a missing display never fails a load.
//
// load prerolls synchronously (at most PrerollTimeoutMs); play returns once
// the position moves (at most PlayStartTimeoutMs). Queries ask the pipeline
// without waiting and report the last position constantly once the end of
// stream (or an error) has been seen. Before that, while playing, the
// position never reads the same twice: a sink that holds its report still
// (a sound server starting or catching up a stream) gains the smallest
// step per query, so the reading stays a hair from the truth and never
// goes back; a report that stands still for StillLimitMs counts as the end.
// length waits once per song (at most LengthWaitMs, while playing) when the
// parser has no estimate yet, and answers anew after GStreamer announces a
// changed duration. A pause holds the pipeline in PAUSED: the sound output
// keeps what it holds (a sound server's stream is corked) and plays it on
// at resume, so nothing is lost or heard twice. Errors go to `logger`, the
// output's told apart from the file's. Tags are gathered from the bus while
// the song prerolls and from every later poll (a stream's tag event); the
// output level and the gain multiply playbin's software volume. UI thread
// only.
//
// Continuous play joins the prepared song in the same playbin (its
// about-to-finish hands over the next URI), so its first sample follows the
// last one of the song heard. The stream takes it once the song heard has
// been decoded; it counts as heard once the pipeline's clock has reached the
// running time of its first sample at the sink, and until then every query
// still answers for the song before. Its tags are kept apart until then. A short song is decoded whole
// before it is heard, even while it loads: once a caller has offered songs,
// a song decoded before anything was offered for it waits for the offer (at
// most OfferWaitMs, in the decoding thread, while the output plays on).
//
// It is also the output stage of the module engine: a renderer's PCM feed
// plays in the same way (an appsrc:// URI whose source reads the pipe),
// under the module volume, the level and the gain, and joins and is joined
// as a file is. While it holds a feed it counts as holding no media song.
class GstMediaEngine : public MediaEngine, public PcmStage {
public:
    GstMediaEngine();
    ~GstMediaEngine() override;
    bool initialise() override;
    bool isLoaded() const override;
    MediaHandle load(const QString& path) override;
    bool outputFailed() const override { return outputFailed_; }
    void setTimeUnit(MediaHandle h) override;
    void setAudio(int volume, int balance) override;
    void play() override;
    void pause() override;
    void resume() override;
    bool paused() const override { return paused_; }
    qint64 length(MediaHandle h) override;
    qint64 position(MediaHandle h) override;
    void seek(MediaHandle h, qint64 position) override;
    void stop() override;
    void release() override;
    void setOutputLevel(double level) override;
    void setGain(double gain) override;
    SongTags tags() override;
    bool prepareNext(const QString& path) override;
    void setNextGain(double gain) override;
    MediaHandle takeJoined() override;
    QString heldPath() const override { return playbin_ ? path_ : QString(); }

    bool outputOpens() override;
    bool startFeed(int fd, const QString& name) override;
    bool offerFeed(int fd, const QString& name) override;
    void pauseFeed() override;
    void resumeFeed() override;
    void stopFeed() override;
    bool feeding() const override { return playbin_ && feed_; }
    bool feedFailed() override;
    qint64 feedFramesHeard() override;
    void setFeedVolume(int volume) override;

    // Output level of volume v (0..100) in hundredths of a decibel relative to
    // full level: trunc(2000 * log10(1000 * v)) - 10000 for 1..99, 0 for 100,
    // -10000 (silence) for 0.
    static int levelHundredthsDb(int volume);
    // playbin's linear volume for that level; 0.0 for silence.
    static double linearVolume(int volume);

    int PrerollTimeoutMs = 8000;
    int PlayStartTimeoutMs = 1000;
    int LengthWaitMs = 500;
    int StillLimitMs = 5000;
    int OfferWaitMs = 3000;

    // Receives one line per failed load and per song ended by an error.
    // Default: qWarning.
    std::function<void(const QString&)> logger;

private:
    void pollBus();
    bool waitForState(int timeoutMs);
    bool queryLength();
    bool fromOutput(GstMessage* m) const;
    bool runs() const;
    void log(const QString& line) const;
    void takeTags(GstMessage* m);
    void applyVolume();
    // start: on to PLAYING at once (a sink that syncs before it prerolls).
    MediaHandle loadUri(const QByteArray& uri, const QString& path, bool start = false);
    static void sourceSetup(GstElement* playbin, GstElement* source, void* self);
    void releaseFeed();
    static void aboutToFinish(GstElement* playbin, void* self);
    void forgetJoin();
    void endOfferWait();  // before the pipeline stops: no decoding thread waits
    bool joining();  // the stream has taken the next song, not heard yet
    bool offer(const QByteArray& uri, const QString& path, int feedFd);
    void watchSinkPad();
    bool firstSampleHeard();  // of the stream that started last at the sink

    GstElement* playbin_ = nullptr;
    GstBus* bus_ = nullptr;
    GstElement* sink_ = nullptr;  // the audio sink, owned by playbin_
    GstElement* gainElement_ = nullptr;  // inside sink_
    QString path_;
    MediaHandle handle_ = 0;
    MediaHandle nextHandle_ = 1;
    bool ended_ = false;
    bool paused_ = false;
    qint64 lastPosition_ = 0;  // 100-ns units, as reported
    qint64 sinkPosition_ = -1;  // the pipeline's last answer
    qint64 sinkStillSinceMs_ = 0;
    bool outputFailed_ = false;
    qint64 length_ = 0;        // 100-ns units, 0 until known
    bool lengthWaited_ = false;
    int volume_ = 100;
    int balance_ = 0;
    double level_ = 1.0;
    double gain_ = 1.0;
    // The module engine's feed: its pipe, read by the source's streaming
    // thread until feedStopping_ is set.
    bool feed_ = false;
    int feedFd_ = -1;   // guarded by joinMutex_: until the source takes it
    int feedVolume_ = 100;
    qint64 feedFramesHeard_ = -1;  // the last answer, kept while a join is pending
    bool feedFailed_ = false;
    std::atomic<bool> feedStopping_{false};
    SongTags tags_;
    GstSample* imageSample_ = nullptr;  // the sample tags_.image was taken from

    // Continuous play. The streaming thread reads nextUri_ at about-to-finish.
    std::mutex joinMutex_;
    QByteArray nextUri_;   // guarded: offered, not taken yet
    QString nextPath_;     // guarded
    int nextFeedFd_ = -1;  // guarded: the pipe of an offered feed
    double nextGain_ = -1;  // guarded: of the offered song, -1 while none
    QString takenPath_;    // guarded: the stream has taken it, its start not seen
    bool takenFeed_ = false;  // guarded: what it took is a feed
    bool awaitingOffer_ = false;  // guarded: nothing offered since the song loaded or was taken
    bool offersUsed_ = false;     // guarded: the caller offers songs
    quint64 offers_ = 0;   // guarded: prepareNext calls so far
    bool stopping_ = false;  // guarded: no wait for an offer
    std::condition_variable offered_;
    QString joinPath_;     // its stream has started at the sink, not heard yet
    bool joinPending_ = false;
    bool joinFeed_ = false;  // the joining song is a feed
    SongTags joinTags_;    // of the joining song, until it is heard
    GstSample* joinImage_ = nullptr;
    // Written by the sink pad's probe in the streaming thread: the running
    // time of the first sample after the latest stream start (ns), or -1
    // while it has not arrived.
    std::atomic<qint64> streamStartRunningTime_{-1};
    // The gain of the song the stream took, set on the gain element by the
    // probe when its stream starts; -1 while none waits.
    std::atomic<double> pendingGain_{-1};
};
