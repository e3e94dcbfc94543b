#pragma once
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "playback/LoudnessCache.h"
#include "playback/LoudnessGain.h"

// Even loudness: the gain each song plays at, and the background work that
// measures the songs of the list, nearest to being played first.
//
// gain(path) is the provider the output asks when a song is loaded: 1.0
// while levelling is off; the song's own gain once its loudness is known
// (from the cache); before that the median gain of the known songs of the
// same kind (the same file extension, else any), never above 1.0, since a
// song's peak is unknown until it is measured. A song asked for and not
// known goes to the front of the queue; once measured, `remeasured` tells
// the output to ask again for the song now heard.
//
// Measuring runs on one worker thread at the lowest priority through the
// probe (which starts a niced process); results go into the cache, which is
// saved through the atomic writer now and then and when the queue is empty.
// gain, setQueue, setEnabled and the signals belong to the UI thread.
class Levelling : public QObject {
    Q_OBJECT
public:
    // Measures one file; nullopt when it cannot. Blocks; runs on the worker
    // thread; should give up soon once cancel turns true.
    using Probe = std::function<std::optional<Loudness>(const QString& path, const std::atomic<bool>& cancel)>;
    using Logger = std::function<void(const QString&)>;

    Levelling(const QString& dataFolder, Probe probe, Logger log);
    ~Levelling() override;  // cancels the measurement under way, saves the cache

    // Reads the switch and the cache and starts the worker.
    void start();
    bool enabled() const { return on; }
    // Turns levelling on or off and stores the state; emits changed.
    void setEnabled(bool enable);
    double gain(const QString& path);
    // The songs to measure, nearest to being played first; replaces the
    // queue (songs known already are skipped).
    void setQueue(const QStringList& nearestFirst);
    // Blocks until the queue is empty and nothing is measured (tests).
    void waitUntilIdle();
    // How many files were measured (not found in the cache) this run.
    int measuredCount() const { return measured.load(); }

signals:
    // The switch changed, or the song last asked for became known: the
    // output asks again for the song now heard.
    void gainsChanged();

private:
    void work();
    void saveCache(std::unique_lock<std::mutex>& g);  // g holds m; released while writing
    void logLater(const QString& line);
    std::optional<Loudness> known(const QString& path);
    double neighbourGain(const QString& path);

    QString dataFolder;
    Probe probe;
    Logger log;
    bool on = true;

    std::mutex m;
    std::condition_variable wake, idle;
    LoudnessCache cache;       // guarded by m
    QStringList queue;         // guarded by m
    QStringList songs;         // guarded by m: the list as last given, nearest first
    QString lastAsked;         // guarded by m
    QSet<QString> failed;      // guarded by m: not measurable this run
    bool busy = false;         // guarded by m
    bool quit = false;         // guarded by m
    qint64 lastSaveMs = 0;     // worker only
    std::atomic<bool> cancel{false};
    std::atomic<int> measured{0};
    std::thread worker;
};
