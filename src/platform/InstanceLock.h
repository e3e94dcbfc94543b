#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

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
    // HeldByOther: another process holds it; Failed: no folder or lock file,
    // or the file system refuses locks (problem says why).
    Result acquire(const QString& folder);
    bool held() const { return fd >= 0; }
    QString problem;  // why the last acquire failed

private:
    int fd = -1;
};

// The local socket through which a second start asks the running player to
// show its window (raiseSocketPath names it). A peer may say only "raise\n":
// at most those few bytes are read from it, a peer that says anything else
// or nothing within a second is dropped, and at most a handful are served
// at once (a new one makes the oldest leave), so no client can use up the
// player's descriptors or memory. UI thread.
class RaiseChannel : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxPeers = 8;
    static constexpr int SilenceMs = 1000;

    explicit RaiseChannel(QObject* parent = nullptr);
    ~RaiseChannel() override;

    // Serves requests on socketPath; call only while holding the data
    // folder's lock (a socket file left by a killed player is replaced).
    // False on failure, with the reason in problem.
    bool listen(const QString& socketPath);
    QString problem;
    // Called for every request, on the UI thread.
    std::function<void()> onRaise;

    // Asks the player that serves socketPath to raise its window; tries again
    // until it answers or timeoutMs has passed. False when nobody answered.
    static bool askToRaise(const QString& socketPath, int timeoutMs);

private:
    void serve(QLocalSocket* peer);
    void drop(QLocalSocket* peer);
    QLocalServer* server = nullptr;
    QList<QPointer<QLocalSocket>> peers;  // oldest first
};
