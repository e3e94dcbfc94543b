#include "playback/Levelling.h"

#include "base/DiskWait.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "playback/LevellingSwitch.h"

namespace {

// The cache is written at most this often while measuring goes on, so a
// long first run keeps what it measured even if the player is killed.
constexpr qint64 SaveEveryMs = 10000;

// The worker yields to everything else the machine does: the lowest nice
// value (the measuring process it starts lowers its own as well).
void lowestPriority() { setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 19); }

}  // namespace

Levelling::Levelling(const QString& dataFolder, Probe probe, Logger log)
    : dataFolder(dataFolder), probe(std::move(probe)), log(std::move(log)),
      cache(dataFolder + QStringLiteral("Lautheit.cache"), [this](const QString& line) { logLater(line); }) {}

void Levelling::logLater(const QString& line) {
    // The log belongs to the UI thread; the worker's lines are posted there.
    if (log)
        QMetaObject::invokeMethod(this, [this, line] { log(line); }, Qt::QueuedConnection);
}

Levelling::~Levelling() {
    {
        std::lock_guard<std::mutex> g(m);
        quit = true;
    }
    cancel = true;
    wake.notify_all();
    if (worker.joinable())
        worker.join();
    std::unique_lock<std::mutex> g(m);
    saveCache(g);
}

void Levelling::saveCache(std::unique_lock<std::mutex>& g) {
    // The bytes are taken under the lock and written without it: a slow
    // disk must not keep the UI thread waiting in gain().
    const std::optional<LoudnessCache::Pending> pending = cache.pendingSave();
    if (!pending)
        return;
    g.unlock();
    const bool written = cache.write(pending->bytes);
    g.lock();
    if (written)
        cache.saved(pending->version);
}

void Levelling::start() {
    on = LevellingSwitch::load(LevellingSwitch::fileIn(dataFolder));
    {
        std::lock_guard<std::mutex> g(m);
        cache.load();
    }
    if (!worker.joinable())
        worker = std::thread([this] { work(); });
}

void Levelling::setEnabled(bool enable) {
    if (enable == on)
        return;
    on = enable;
    QString error;
    if (!LevellingSwitch::save(LevellingSwitch::fileIn(dataFolder), on, &error) && log)
        log(QStringLiteral("Lautheit: Schalter nicht gespeichert: ") + error);
    emit gainsChanged();
}

std::optional<Loudness> Levelling::known(const QString& path) {
    // Asked on the UI thread: a song on a share that stopped answering is
    // looked at with a bound (and then plays at its neighbours' gain).
    if (probePath(path) == PathKind::Silent)
        return std::nullopt;
    const LoudnessCache::Key key = LoudnessCache::keyOf(path);
    std::lock_guard<std::mutex> g(m);
    return cache.find(path, key);
}

double Levelling::gain(const QString& path) {
    if (!on || path.isEmpty())
        return 1.0;
    if (const auto l = known(path))
        return levellingGain(*l);
    {
        std::lock_guard<std::mutex> g(m);
        lastAsked = path;
        queue.removeAll(path);
        queue.prepend(path);
    }
    wake.notify_all();
    return neighbourGain(path);
}

double Levelling::neighbourGain(const QString& path) {
    const QString kind = QFileInfo(path).suffix().toLower();
    QList<double> same, any;
    QStringList candidates;
    {
        std::lock_guard<std::mutex> g(m);
        candidates = songs;
    }
    // The neighbours are the songs of the list around it that are known; a
    // bounded number, so a long list costs no time at a song's start. Their
    // stored values are an estimate: no neighbour's file is looked at.
    int looked = 0;
    for (const QString& p : std::as_const(candidates)) {
        if (p == path) continue;
        if (++looked > 200) break;
        std::optional<Loudness> l;
        {
            std::lock_guard<std::mutex> g(m);
            l = cache.stored(p);
        }
        if (l) {
            const double g = levellingGain(*l);
            any << g;
            if (QFileInfo(p).suffix().toLower() == kind) same << g;
        }
    }
    QList<double>& pick = same.isEmpty() ? any : same;
    if (pick.isEmpty())
        return 1.0;
    std::sort(pick.begin(), pick.end());
    return std::min(1.0, pick[pick.size() / 2]);
}

void Levelling::setQueue(const QStringList& nearestFirst) {
    {
        std::lock_guard<std::mutex> g(m);
        queue = nearestFirst;
        songs = nearestFirst;
    }
    wake.notify_all();
}

void Levelling::waitUntilIdle() {
    std::unique_lock<std::mutex> g(m);
    idle.wait(g, [this] { return quit || (!busy && queue.isEmpty()); });
}

void Levelling::work() {
    lowestPriority();
    std::unique_lock<std::mutex> g(m);
    for (;;) {
        wake.wait(g, [this] { return quit || !queue.isEmpty(); });
        if (quit)
            break;
        const QString path = queue.takeFirst();
        busy = true;
        g.unlock();
        const LoudnessCache::Key key = LoudnessCache::keyOf(path);
        std::optional<Loudness> result;
        bool have = false;
        if (key.size >= 0) {
            {
                std::lock_guard<std::mutex> lg(m);
                have = cache.find(path, key).has_value() || failed.contains(path);
            }
            if (!have) {
                result = probe(path, cancel);
            }
        }
        g.lock();
        if (!have && !result && key.size >= 0 && !cancel) {
            failed.insert(path);  // tried once a run; the song plays unchanged
            logLater(QStringLiteral("Lautheit: nicht messbar: ") + path);
        }
        if (result && !quit) {
            cache.store(path, key, *result);
            ++measured;
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (queue.isEmpty() || now - lastSaveMs >= SaveEveryMs) {
                saveCache(g);
                lastSaveMs = now;
            }
            if (path == lastAsked)
                QMetaObject::invokeMethod(this, [this] { emit gainsChanged(); }, Qt::QueuedConnection);
        } else if (queue.isEmpty() && cache.dirty()) {
            saveCache(g);
        }
        busy = false;
        if (queue.isEmpty())
            idle.notify_all();
    }
    idle.notify_all();
}
