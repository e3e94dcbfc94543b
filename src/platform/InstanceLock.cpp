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
#include <unistd.h>

#include "base/Paths.h"
#include "shell/SingleInstance.h"

namespace {
const QByteArray kRequest = "raise\n";
const QByteArray kAnswer = "ok\n";

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

void RaiseChannel::serve(QLocalSocket* peer) {
    peers.removeAll(QPointer<QLocalSocket>());
    while (peers.size() >= MaxPeers) drop(peers.takeFirst());
    peers.append(peer);
    // Only the request is ever buffered, however much the peer sends.
    peer->setReadBufferSize(kRequest.size());
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    QTimer::singleShot(SilenceMs, peer, [this, peer] { drop(peer); });
    auto said = std::make_shared<QByteArray>();
    connect(peer, &QLocalSocket::readyRead, this, [this, peer, said] {
        *said += peer->read(kRequest.size() - said->size());
        if (!kRequest.startsWith(*said)) {
            drop(peer);
            return;
        }
        if (*said != kRequest) return;
        peer->setReadBufferSize(1);  // nothing more is read
        if (onRaise) onRaise();
        peer->write(kAnswer);
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

bool RaiseChannel::askToRaise(const QString& socketPath, int timeoutMs) {
    if (!fits(socketPath)) return false;
    QElapsedTimer clock;
    clock.start();
    // The running player may still be starting (its socket comes up right
    // after its lock), or busy with other peers: ask again for a while.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(kRequest);
            if (socket.waitForBytesWritten(1000)) {
                while (!socket.canReadLine() && clock.elapsed() < timeoutMs)
                    if (!socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - clock.elapsed())))) break;
                if (socket.canReadLine() && socket.readLine() == kAnswer) return true;
            }
        }
        ::usleep(100 * 1000);
    }
    return false;
}
