// "kalvo2 --next" and its kin against the real player: what it plays is
// captured, the deleted file is looked for in the trash folder, and a call
// without a running player neither starts one nor touches a file.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QStandardPaths>

#include <unistd.h>

#include "e2e/RemotePlayer.h"
#include "shell/SingleInstance.h"

using namespace remote;

namespace {

struct CliResult {
    int exitCode = -1;
    QString err;
};

// Runs "kalvo2 args" with player's folders, optionally through a prefix
// command (setpriv as another user).
CliResult runCli(const Player& p, const QStringList& args, const QStringList& prefix = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", p.home);
    env.insert("XDG_DATA_HOME", p.xdg);
    env.insert("XDG_RUNTIME_DIR", p.runtime);
    env.remove("DISPLAY");  // an action needs no display
    env.remove("WAYLAND_DISPLAY");
    QProcess cli;
    cli.setProcessEnvironment(env);
    const QString program = QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2");
    if (prefix.isEmpty()) cli.start(program, args);
    else cli.start(prefix.first(), prefix.mid(1) + QStringList{program} + args);
    CliResult r;
    if (!cli.waitForFinished(60000)) {
        cli.kill();
        cli.waitForFinished();
        return r;
    }
    r.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -2;
    r.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return r;
}

// Starts the player on the offscreen platform (the actions need no window)
// and has it play: while start-up still holds the pass (the list's scan),
// the player answers that it is busy.
bool upOffscreenPlaying(RemotePlayer& p) {
    p.platform = "offscreen";
    p.start();
    if (!p.waitUntilUp(p.data + "Log")) return false;
    for (int i = 0; i < 60; ++i) {
        const int code = runCli(p, {"--play"}).exitCode;
        if (code == 0) return p.hears(1);
        if (code != 3) return false;
        QThread::msleep(500);
    }
    return false;
}

}  // namespace

TEST(RemoteActions, ActionsReachTheRunningPlayerAsTheirKeysDo) {
    RemotePlayer p;
    p.prepare({"1|34|0|1", "2|33|0|2"});
    ASSERT_TRUE(upOffscreenPlaying(p));
    CliResult r = runCli(p, {"--next"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_TRUE(p.hears(2));

    // Pause holds the song (nothing new is captured), a second one resumes it.
    EXPECT_EQ(runCli(p, {"--pause"}).exitCode, 0);
    p.heard();  // what the sink still held when the pause came
    EXPECT_EQ(p.heard(), 0) << p.log().toStdString();
    EXPECT_EQ(runCli(p, {"--pause"}).exitCode, 0);
    EXPECT_TRUE(p.hears(2));

    // "Lied löschen": the file moves into the trash folder, the next plays.
    const QString song2 = p.music + "lied2.wav";
    r = runCli(p, {"--delete"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(p.hears(3));
    EXPECT_FALSE(QFileInfo::exists(song2));
    EXPECT_TRUE(QFileInfo::exists(p.data + "Kalvo-Kübel/lied2.wav"));

    // The action runs once its answer has gone out: the restored song is
    // heard when the undo has run.
    r = runCli(p, {"--undo"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(p.hears(2));
    EXPECT_TRUE(QFileInfo::exists(song2));

    // Back to a song before the third (the restored one or the first).
    r = runCli(p, {"--previous"});
    EXPECT_EQ(r.exitCode, 0);
    int before = 0;
    for (int i = 0; i < 10 && (before == 0 || before == 3); ++i) before = p.heard();
    EXPECT_TRUE(before == 1 || before == 2) << before;
    // The song a key started holds at a pause too, and goes on at resume.
    EXPECT_EQ(runCli(p, {"--pause"}).exitCode, 0);
    p.heard();
    EXPECT_EQ(p.heard(), 0) << p.log().toStdString();
    EXPECT_EQ(runCli(p, {"--pause"}).exitCode, 0);
    EXPECT_TRUE(p.hears(before));

    EXPECT_EQ(runCli(p, {"--raise"}).exitCode, 0);
    // One action per call.
    EXPECT_EQ(runCli(p, {"--next", "--next"}).exitCode, 2);
    EXPECT_EQ(p.process.state(), QProcess::Running);
    p.quit();
}

TEST(RemoteActions, WithoutARunningPlayerAnActionSaysSoAndStartsNone) {
    Player none;
    const CliResult r = runCli(none, {"--delete"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("kalvo2: --delete wurde nicht ausgeführt: es läuft kein Kalvo2")) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1);
    // Nothing was created: no data folder, no lock, no socket.
    EXPECT_FALSE(QFileInfo::exists(none.xdg));
    QDirIterator it(none.runtime, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    QStringList left;
    while (it.hasNext()) left << it.next();
    EXPECT_EQ(left, QStringList{none.home}) << left.join(' ').toStdString();
}

// Only the user who runs the player may steer it: the socket is in the
// user's own runtime folder; here it is opened to everyone on purpose, and
// the player still refuses a peer of another user by its credentials.
TEST(RemoteActions, AnotherUsersRequestIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    if (QStandardPaths::findExecutable("setpriv").isEmpty()) GTEST_SKIP() << "no setpriv";
    RemotePlayer p;
    p.prepare({"1|34|0|1", "2|33|0|2"});
    ASSERT_TRUE(upOffscreenPlaying(p));
    const QString socket = raiseSocketPath(p.data, p.runtime);
    for (const QString& open : {p.temp.path(), p.xdg, p.data})
        QFile::setPermissions(open, QFile::permissions(open) | QFile::ExeOther | QFile::ReadOther);
    ASSERT_TRUE(QFile::setPermissions(socket, QFileDevice::Permissions(0x7777)));

    const CliResult r =
        runCli(p, {"--next"}, {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    EXPECT_NE(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(p.heard(), 1);
    EXPECT_TRUE(p.log().contains("Fernsteuerung: Verbindung eines anderen Benutzers (uid 65534) abgewiesen"))
        << p.log().toStdString();
    p.quit();
}
