// One player per data folder: a second start on the same folder shows the
// first player's window and ends with 0 without writing anything; a killed
// player leaves no stale lock behind.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDirIterator>
#include <QProcess>

#include "e2e/PlayerProcess.h"
#include "fakes/Fakes.h"

namespace {

// Every file and folder below root with its size, time and content hash.
QStringList snapshot(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString line = info.filePath() + " " + QString::number(info.size()) + " " +
                       QString::number(info.lastModified().toMSecsSinceEpoch());
        if (info.isFile()) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly))
                line += " " + QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
        }
        out << line;
    }
    out.sort();
    return out;
}

QString xdotool(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    if (!p.waitForFinished(20000)) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The first visible window whose title contains name, as xdotool prints it.
QString windowNamed(const QString& name) {
    for (int i = 0; i < 100; ++i) {
        const QString ids = xdotool({"search", "--onlyvisible", "--name", name});
        if (!ids.isEmpty()) return ids.section('\n', 0, 0);
        QThread::msleep(100);
    }
    return {};
}

// An X server of this test alone, so no other test moves the focus meanwhile.
struct PrivateX {
    QProcess server;
    QByteArray oldDisplay = qgetenv("DISPLAY");
    bool up = false;
    PrivateX() {
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!server.waitForStarted(20000)) return;
        while (!server.canReadLine() && server.waitForReadyRead(20000)) {}
        const QByteArray number = server.readLine().trimmed();
        if (number.isEmpty()) return;
        qputenv("DISPLAY", ":" + number);
        up = true;
    }
    ~PrivateX() {
        qputenv("DISPLAY", oldDisplay);
        server.kill();
        server.waitForFinished();
    }
};

}  // namespace

TEST(SingleInstance, SecondPlayerRaisesTheFirstAndWritesNothing) {
    PrivateX x;
    const bool onX = x.up;
    Player first;
    if (onX) first.platform = "xcb";
    first.start();
    ASSERT_TRUE(first.waitUntilUp(first.data + "Log"));

    // Another window takes the focus away from the player.
    QProcess other;
    if (onX) {
        ASSERT_FALSE(windowNamed("Kalvo2 0.992").isEmpty());
        other.start("xmessage", {"-name", "focus-thief", "-title", "focus-thief", "anderes Fenster"});
        ASSERT_TRUE(other.waitForStarted());
        const QString thief = windowNamed("focus-thief");
        ASSERT_FALSE(thief.isEmpty());
        xdotool({"windowfocus", "--sync", thief});
        ASSERT_EQ(xdotool({"getwindowfocus"}), thief);
    }

    const QStringList before = snapshot(first.data);
    ASSERT_FALSE(before.isEmpty());

    Player second;
    second.platform = first.platform;
    second.home = first.home;
    second.xdg = first.xdg;
    second.data = first.data;
    second.runtime = first.runtime;
    second.start();
    ASSERT_TRUE(second.process.waitForFinished(60000));
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 0);
    QThread::msleep(500);  // let the first player act on the request

    EXPECT_EQ(snapshot(first.data), before);  // the files are the first's alone
    if (onX) {
        // The first's window came to the front (it may take a moment under
        // load). On an empty data folder the first-start message is open over
        // it, and that modal box is what gets the focus.
        const QString pid = QString::number(first.process.processId());
        QString focusPid;
        for (int i = 0; i < 100 && (focusPid = xdotool({"getwindowfocus", "getwindowpid"})) != pid; ++i)
            QThread::msleep(100);
        EXPECT_EQ(focusPid, pid);
        other.kill();
        other.waitForFinished();
    }
    EXPECT_EQ(first.process.state(), QProcess::Running);

    // Killed without warning, the first player leaves no stale lock: a new
    // player runs on the folder and quits orderly, writing its settings.
    first.stop(SIGKILL);
    Player third;
    third.home = first.home;
    third.xdg = first.xdg;
    third.data = first.data;
    third.runtime = first.runtime;
    third.start();
    QThread::msleep(3000);
    ASSERT_EQ(third.process.state(), QProcess::Running);
    ASSERT_FALSE(QFileInfo::exists(third.data + "Kalvo2.ini"));
    third.stop(SIGTERM);
    EXPECT_EQ(third.process.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(third.data + "Kalvo2.ini"));
}
