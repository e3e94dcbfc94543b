#include "platform/InstanceLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/Paths.h"
#include "shell/SingleInstance.h"

namespace {
const QByteArray kRequest = "raise\n";
const QByteArray kAnswer = "ok\n";

QString socketPath(const QString& folder) {
    return AddBackslash(folder) + QLatin1String(kInstanceSocketName);
}
}  // namespace

InstanceLock::~InstanceLock() {
    if (fd >= 0) ::close(fd);
}

InstanceLock::Result InstanceLock::acquire(const QString& folder) {
    if (fd >= 0) return Result::Acquired;
    if (!QDir().mkpath(folder)) return Result::Failed;
    const QByteArray path = (AddBackslash(folder) + QLatin1String(kInstanceLockName)).toLocal8Bit();
    const int f = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (f < 0) return Result::Failed;
    int rc;
    do rc = ::flock(f, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(f);
        return held ? Result::HeldByOther : Result::Failed;
    }
    fd = f;
    return Result::Acquired;
}

RaiseChannel::RaiseChannel(QObject* parent) : QObject(parent) {}

RaiseChannel::~RaiseChannel() {
    if (server) server->close();
}

bool RaiseChannel::listen(const QString& folder) {
    const QString path = socketPath(folder);
    QLocalServer::removeServer(path);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) return false;
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine()) return;
                const QByteArray line = peer->readLine();
                if (line == kRequest) {
                    if (onRaise) onRaise();
                    peer->write(kAnswer);
                    peer->flush();
                }
                peer->disconnectFromServer();
            });
        }
    });
    return true;
}

bool RaiseChannel::askToRaise(const QString& folder, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    // The running player may still be starting: its socket comes up right
    // after its lock, so retry the connection for a while.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath(folder));
        if (socket.waitForConnected(500)) {
            socket.write(kRequest);
            if (!socket.waitForBytesWritten(1000)) return false;
            while (!socket.canReadLine() && clock.elapsed() < timeoutMs)
                if (!socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - clock.elapsed())))) break;
            return socket.canReadLine() && socket.readLine() == kAnswer;
        }
        ::usleep(100 * 1000);
    }
    return false;
}
