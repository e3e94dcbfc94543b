#include "base/DiskWait.h"

#include <QFile>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {

// Never destroyed: a thread still waiting in the kernel at exit may come
// back while static destructors run, and nothing at exit may wait for it.
struct Registry {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<QString, DiskCall*>> stalled;  // folder (ending "/"), call
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool stalledLocked(Registry& r, const QString& folder) {
    const QString f = withSlash(folder);
    for (const auto& s : r.stalled)
        if (f.startsWith(s.first)) return true;
    return false;
}

}  // namespace

int diskWaitMs() {
    static const int ms = [] {
        const int v = std::atoi(qgetenv("KALVO2_DISK_WAIT_MS").constData());
        return v > 0 ? v : 10000;
    }();
    return ms;
}

bool anyStalled() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return !r.stalled.empty();
}

void DiskCall::lookingAt(const QString& path) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    folder = path;
}

bool isStalled(const QString& folder) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return stalledLocked(r, folder);
}

std::shared_ptr<DiskCall> startDiskCall(const QString& folder, std::function<void(DiskCall&)> work) {
    Registry& r = registry();
    auto call = std::make_shared<DiskCall>();
    call->folder = withSlash(folder);
    {
        std::lock_guard lock(r.mutex);
        if (stalledLocked(r, call->folder)) return nullptr;
    }
    try {
        std::thread([call, work = std::move(work)] {
            work(*call);
            Registry& r = registry();
            std::lock_guard lock(r.mutex);
            call->done = true;
            std::erase_if(r.stalled, [&](const auto& s) { return s.second == call.get(); });
            r.changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;  // no thread to be had: the look does not happen
    }
    return call;
}

bool waitDiskCall(DiskCall& call, int silentMs, const std::function<void()>& onPoll, int pollMs) {
    using Clock = std::chrono::steady_clock;
    Registry& r = registry();
    unsigned lastBeats = call.beats.load(std::memory_order_relaxed);
    Clock::time_point lastBeat = Clock::now();
    std::unique_lock lock(r.mutex);
    while (!call.done) {
        r.changed.wait_for(lock, std::chrono::milliseconds(pollMs));
        if (call.done) break;
        const unsigned beats = call.beats.load(std::memory_order_relaxed);
        const Clock::time_point now = Clock::now();
        if (beats != lastBeats) {
            lastBeats = beats;
            lastBeat = now;
        } else if (now - lastBeat >= std::chrono::milliseconds(silentMs)) {
            call.gaveUp = true;
            r.stalled.emplace_back(call.folder, &call);
            return false;
        }
        if (onPoll) {
            lock.unlock();
            onPoll();
            lock.lock();
        }
    }
    return true;
}

PathKind probePath(const QString& path, int waitMs) {
    struct Result {
        std::atomic<PathKind> kind{PathKind::Missing};
    };
    auto result = std::make_shared<Result>();
    const QByteArray bytes = QFile::encodeName(path);
    auto call = startDiskCall(path, [result, bytes](DiskCall&) {
        struct stat st;
        PathKind kind = PathKind::Missing;
        if (::stat(bytes.constData(), &st) == 0)
            kind = S_ISREG(st.st_mode) ? PathKind::File : S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
        result->kind = kind;
    });
    if (!call || !waitDiskCall(*call, waitMs)) return PathKind::Silent;
    return result->kind.load();
}

PathKind probeFolderEntries(const QString& folder, int waitMs) {
    auto readable = std::make_shared<std::atomic<bool>>(false);
    const QString base = withSlash(folder);
    auto call = startDiskCall(base, [readable, base](DiskCall& c) {
        DIR* dir = ::opendir(QFile::encodeName(base).constData());
        c.beat();
        if (!dir) return;
        *readable = true;
        while (struct dirent* e = ::readdir(dir)) {
            if (c.abandoned()) break;
            const char* n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
            c.lookingAt(base + QString::fromUtf8(n) + QLatin1Char('/'));
            c.beat();
            struct stat st;
            ::fstatat(::dirfd(dir), n, &st, 0);
            c.beat();
        }
        ::closedir(dir);
    });
    if (!call || !waitDiskCall(*call, waitMs)) return PathKind::Silent;
    return readable->load() ? PathKind::Folder : PathKind::Missing;
}
