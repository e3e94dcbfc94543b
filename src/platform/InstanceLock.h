#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <sys/types.h>

#include "remote/RemoteAction.h"

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
// show its window and "kalvo2 --next" and its kin send their actions
// (raiseSocketPath names it). A peer says one request line (RemoteRequest):
// at most those few bytes are read from it, a peer that says anything else
// or nothing within a second is dropped, a peer of another user is refused
// at once (the kernel's credentials of the peer), and at most a handful are
// served at once (a new one makes the oldest leave), so no client can use
// up the player's descriptors or memory. The answer is "ok\n" when the
// player took the request, "busy\n" when it dropped it as its keys are
// dropped then (a message box or blocking window is open). UI thread.
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
    // Called for every raise request with the asker's activation token
    // (may be empty), on the UI thread. A raise is always taken.
    std::function<void(const QByteArray& activationToken)> onRaise;
    // Called for every other action; true when the player took it. The
    // answer goes out before the action runs, so it must only decide and
    // queue the action.
    std::function<bool(RemoteAction)> onAction;
    // Told once per run when a peer of another user was refused.
    std::function<void(const QString&)> logger;

    enum class Answer { Taken, Busy, NoAnswer, NoPlayer };
    // Sends request to the player that serves socketPath and waits for its
    // answer; a raise is asked for again while it is not answered, until
    // timeoutMs has passed, any other action only once. While the socket cannot be reached at all it tries for
    // connectPatienceMs (0: once), then gives NoPlayer. Blocks the caller.
    static Answer ask(const QString& socketPath, const RemoteRequest& request, int timeoutMs,
                      int connectPatienceMs);
    // A raise request (second start); true when the player took it.
    static bool askToRaise(const QString& socketPath, int timeoutMs, const QByteArray& activationToken = {});
    // The user id of a local socket's peer; -1 when unknown.
    static uid_t peerUser(qintptr descriptor);

private:
    void serve(QLocalSocket* peer);
    void drop(QLocalSocket* peer);
    QLocalServer* server = nullptr;
    QList<QPointer<QLocalSocket>> peers;  // oldest first
    bool foreignPeerLogged = false;
};
