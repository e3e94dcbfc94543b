#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

// The exclusive lock of one data folder: flock on "Kalvo2.lock" inside it.
// The kernel drops the lock when the process ends, however it ends, so a
// crash or a kill never leaves a stale lock. The descriptor is close-on-exec:
// helper processes (the module renderer) never keep the lock alive.
class InstanceLock {
public:
    enum class Result { Acquired, HeldByOther, Failed };
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Creates folder when missing, then tries the lock without waiting.
    // HeldByOther: another process holds it; Failed: no folder or lock file.
    Result acquire(const QString& folder);
    bool held() const { return fd >= 0; }

private:
    int fd = -1;
};

// The local socket "Kalvo2.sock" in the data folder through which a second
// start asks the running player to show its window. UI thread.
class RaiseChannel : public QObject {
    Q_OBJECT
public:
    explicit RaiseChannel(QObject* parent = nullptr);
    ~RaiseChannel() override;

    // Serves requests on folder's socket; call only while holding its lock
    // (a socket file left by a killed player is replaced). False on failure.
    bool listen(const QString& folder);
    // Called for every request, on the UI thread.
    std::function<void()> onRaise;

    // Asks the player that serves folder to raise its window; waits for its
    // answer at most timeoutMs. False when nobody answered.
    static bool askToRaise(const QString& folder, int timeoutMs);

private:
    QLocalServer* server = nullptr;
};
