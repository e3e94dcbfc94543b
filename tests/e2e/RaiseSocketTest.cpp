// The socket through which a second start raises the running player: any
// local client can reach it, so a crowd of silent connections or an endless
// line must not use up the player's descriptors or memory, and a real
// second start must still get through. A data folder too deep for a socket
// path still works.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "e2e/PlayerProcess.h"
#include "shell/SingleInstance.h"

namespace {

int descriptorsOf(qint64 pid) {
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

qint64 residentKbOf(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// A blocking connection to the socket; -1 when there is none.
int connectTo(const QString& path) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (s < 0 || name.size() >= int(sizeof address.sun_path)) return -1;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    timeval patience{60, 0};  // a safety net for a hung player, not a measure
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    return s;
}

// Sends up to bytes of 'x' without a newline; how many the player took.
qint64 sendEndlessLine(int s, qint64 bytes) {
    const QByteArray chunk(1 << 20, 'x');
    qint64 sent = 0;
    while (sent < bytes) {
        const ssize_t n = ::send(s, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += n;
    }
    return sent;
}

// The request a second start makes; true when the player answered it.
bool askToRaise(const QString& path) {
    const int s = connectTo(path);
    if (s < 0) return false;
    bool ok = ::send(s, "raise\n", 6, MSG_NOSIGNAL) == 6;
    QByteArray answer;
    char buffer[16];
    while (ok && !answer.contains('\n')) {
        const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        answer.append(buffer, int(n));
    }
    ::close(s);
    return ok && answer == "ok\n";
}

// A second start on first's folders; its error output once it has ended.
QString secondStart(Player& first) {
    Player second;
    second.home = first.home;
    second.xdg = first.xdg;
    second.data = first.data;
    second.runtime = first.runtime;
    second.channels = QProcess::MergedChannels;
    second.start();
    if (!second.process.waitForFinished(60000)) return QStringLiteral("<still running>");
    if (second.process.exitCode() != 0) return QStringLiteral("<exit code %1>").arg(second.process.exitCode());
    return QString::fromLocal8Bit(second.process.readAll());
}

}  // namespace

TEST(RaiseSocket, ACrowdOfSilentPeersAndAnEndlessLineStayBoundedAndASecondStartGetsThrough) {
    Player first;
    first.start();
    ASSERT_TRUE(first.waitUntilUp(first.data + "Log"));
    const qint64 pid = first.process.processId();
    const QString socket = raiseSocketPath(first.data, first.runtime);
    ASSERT_TRUE(askToRaise(socket));
    const int descriptorsBefore = descriptorsOf(pid);
    const qint64 residentBefore = residentKbOf(pid);
    ASSERT_GT(descriptorsBefore, 0);
    ASSERT_GT(residentBefore, 0);

    std::vector<int> crowd;
    for (int i = 0; i < 500; ++i) {
        const int s = connectTo(socket);
        ASSERT_GE(s, 0) << "connection " << i << ": " << std::strerror(errno);
        crowd.push_back(s);
    }
    const int talker = connectTo(socket);
    ASSERT_GE(talker, 0);
    const qint64 sent = sendEndlessLine(talker, 200LL << 20);
    // Answered after all of the above were taken in: the queue is in order.
    ASSERT_TRUE(askToRaise(socket));

    // A handful of peers at a time, not one descriptor per connection.
    EXPECT_LE(descriptorsOf(pid), descriptorsBefore + 12);
    const qint64 grownKb = residentKbOf(pid) - residentBefore;
    EXPECT_LT(grownKb, 32 * 1024) << "sent " << sent << " bytes";
    EXPECT_LT(sent, 100LL << 20);

    // A real second start while the crowd still holds its connections.
    const QString said = secondStart(first);
    EXPECT_TRUE(said.contains("sein Fenster wird gezeigt")) << said.toStdString();
    EXPECT_FALSE(said.contains("antwortet nicht")) << said.toStdString();
    for (int s : crowd) ::close(s);
    ::close(talker);
    EXPECT_EQ(first.process.state(), QProcess::Running);
    first.stop(SIGTERM);
    EXPECT_EQ(first.process.exitCode(), 0);
}

TEST(RaiseSocket, ADataFolderTooDeepForASocketPathStillRaises) {
    Player first;
    first.xdg = first.temp.path() + "/" + QString(60, 'a') + "/" + QString(60, 'b');
    first.data = first.xdg + "/Kalvo2/";
    ASSERT_GT(QFile::encodeName(first.data + kInstanceSocketName).size(), kMaxSocketPathBytes);
    first.channels = QProcess::MergedChannels;
    first.start();
    ASSERT_TRUE(first.waitUntilUp(first.data + "Log"));

    const QString said = secondStart(first);
    EXPECT_TRUE(said.contains("sein Fenster wird gezeigt")) << said.toStdString();
    EXPECT_FALSE(said.contains("antwortet nicht")) << said.toStdString();
    EXPECT_EQ(first.process.state(), QProcess::Running);
    first.stop(SIGTERM);
    EXPECT_EQ(first.process.exitCode(), 0);
    EXPECT_FALSE(first.process.readAll().contains("Fehler"));
}
