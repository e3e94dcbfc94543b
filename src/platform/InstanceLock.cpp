#include "platform/InstanceLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cstring>
#include <memory>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/Paths.h"
#include "shell/SingleInstance.h"

namespace {
const QByteArray kAnswer = "ok\n";
const QByteArray kBusy = "busy\n";  // not taken: a window of the player waits for the user

bool fits(const QString& socketPath) { return QFile::encodeName(socketPath).size() <= kMaxSocketPathBytes; }
}  // namespace

InstanceLock::~InstanceLock() {
    if (fd >= 0) ::close(fd);
}

InstanceLock::Result InstanceLock::acquire(const QString& folder) {
    if (fd >= 0) return Result::Acquired;
    problem.clear();
    if (!QDir().mkpath(folder)) {
        problem = QStringLiteral("cannot create the folder");
        return Result::Failed;
    }
    const QByteArray path = QFile::encodeName(AddBackslash(folder) + QLatin1String(kInstanceLockName));
    const int f = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (f < 0) {
        problem = QString::fromLocal8Bit(std::strerror(errno));
        return Result::Failed;
    }
    int rc;
    do rc = ::flock(f, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(f);
        if (error == EWOULDBLOCK) return Result::HeldByOther;
        problem = QString::fromLocal8Bit(std::strerror(error));
        return Result::Failed;
    }
    fd = f;
    return Result::Acquired;
}

RaiseChannel::RaiseChannel(QObject* parent) : QObject(parent) {}

RaiseChannel::~RaiseChannel() {
    if (server) server->close();
}

bool RaiseChannel::listen(const QString& socketPath) {
    problem.clear();
    if (!fits(socketPath)) {
        problem = QStringLiteral("the socket path is longer than %1 bytes").arg(kMaxSocketPathBytes);
        return false;
    }
    QLocalServer::removeServer(socketPath);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath)) {
        problem = server->errorString();
        delete server;
        server = nullptr;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server->nextPendingConnection()) serve(peer);
    });
    return true;
}

uid_t RaiseChannel::peerUser(qintptr descriptor) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return uid_t(-1);
    return credentials.uid;
}

void RaiseChannel::serve(QLocalSocket* peer) {
    peers.removeAll(QPointer<QLocalSocket>());
    while (peers.size() >= MaxPeers) drop(peers.takeFirst());
    // Only the user who runs the player may steer it; the socket's file mode
    // already says so, the kernel's word on the peer makes sure.
    const uid_t user = peerUser(peer->socketDescriptor());
    if (user != ::geteuid()) {
        if (!foreignPeerLogged && logger)
            logger(QStringLiteral("Fernsteuerung: Verbindung eines anderen Benutzers (uid %1) abgewiesen")
                       .arg(qlonglong(user == uid_t(-1) ? -1 : qlonglong(user))));
        foreignPeerLogged = true;
        peer->abort();
        peer->deleteLater();
        return;
    }
    peers.append(peer);
    // Only the request is ever buffered, however much the peer sends.
    peer->setReadBufferSize(kMaxRemoteRequestBytes);
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    QTimer::singleShot(SilenceMs, peer, [this, peer] { drop(peer); });
    auto said = std::make_shared<QByteArray>();
    connect(peer, &QLocalSocket::readyRead, this, [this, peer, said] {
        if (said->endsWith('\n')) return;  // answered already
        *said += peer->read(kMaxRemoteRequestBytes - said->size());
        const int end = said->indexOf('\n');
        if (end < 0) {
            if (said->size() >= kMaxRemoteRequestBytes) drop(peer);
            return;
        }
        said->truncate(end + 1);
        const RemoteRequest request = parseRemoteRequest(*said);
        if (request.action == RemoteAction::None) {
            drop(peer);
            return;
        }
        peer->setReadBufferSize(1);  // nothing more is read
        bool taken = true;
        if (request.action == RemoteAction::Raise) {
            if (onRaise) onRaise(request.activationToken);
        } else {
            taken = onAction && onAction(request.action);
        }
        peer->write(taken ? kAnswer : kBusy);
        peer->flush();
        peer->disconnectFromServer();
    });
}

void RaiseChannel::drop(QLocalSocket* peer) {
    if (!peer) return;
    peers.removeAll(peer);
    peer->abort();
    peer->deleteLater();
}

RaiseChannel::Answer RaiseChannel::ask(const QString& socketPath, const RemoteRequest& request, int timeoutMs,
                                      int connectPatienceMs) {
    if (!fits(socketPath)) return Answer::NoPlayer;
    const QByteArray line = remoteRequestLine(request);
    QElapsedTimer clock;
    clock.start();
    bool reached = false;
    // The running player may still be starting (its socket comes up right
    // after its lock), or busy with other peers: ask again for a while.
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            reached = true;
            socket.write(line);
            if (socket.waitForBytesWritten(1000)) {
                while (!socket.canReadLine() && clock.elapsed() < timeoutMs)
                    if (!socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - clock.elapsed())))) break;
                if (socket.canReadLine()) {
                    const QByteArray answer = socket.readLine();
                    if (answer == kAnswer) return Answer::Taken;
                    if (answer == kBusy) return Answer::Busy;
                }
                // An action may have been taken without the answer coming
                // back: asking again could delete a second song. A raise
                // can be asked for again.
                if (request.action != RemoteAction::Raise) return Answer::NoAnswer;
            }
        } else if (!reached && clock.elapsed() >= connectPatienceMs) {
            break;
        }
        if (clock.elapsed() < timeoutMs) ::usleep(100 * 1000);
    } while (clock.elapsed() < timeoutMs);
    return reached ? Answer::NoAnswer : Answer::NoPlayer;
}

bool RaiseChannel::askToRaise(const QString& socketPath, int timeoutMs, const QByteArray& activationToken) {
    RemoteRequest request;
    request.action = RemoteAction::Raise;
    request.activationToken = activationToken;
    return ask(socketPath, request, timeoutMs, timeoutMs) == Answer::Taken;
}
