#pragma once
// Runs the real kalvo2 binary in a temporary home on the offscreen platform.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>

// The real player in a temporary home, on the offscreen platform.
struct Player {
    QTemporaryDir temp;
    QString home = temp.path() + "/home";
    QString xdg = temp.path() + "/xdg";
    QString data = xdg + "/Kalvo2/";
    QString runtime = temp.path();  // XDG_RUNTIME_DIR: one per user session
    QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels;
    QString platform = "offscreen";  // "xcb" to run on the test's X server
    QString audioSink = "fakesink sync=false";  // "fakesink sync=true": real time
    QProcess process;

    Player() { QDir().mkpath(home); }

    void start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", xdg);
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("QT_QPA_PLATFORM", platform);
        env.insert("KALVO2_AUDIO_SINK", audioSink);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(channels);
        process.start(QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2"), {});
        ASSERT_TRUE(process.waitForStarted(30000));
    }

    // Up: the folders are prepared; then give the rest of start-up a moment.
    bool waitUntilUp(const QString& marker) {
        for (int i = 0; i < 300 && !QFileInfo::exists(marker); ++i) QThread::msleep(100);
        QThread::msleep(1500);
        return QFileInfo::exists(marker) && process.state() == QProcess::Running;
    }

    void stop(int signal) {
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
    }

    // Every line the player wrote into its log folder.
    QString log() const {
        QString all;
        for (const QFileInfo& fi : QDir(data + "Log").entryInfoList({"*.log"})) {
            QFile f(fi.filePath());
            if (f.open(QIODevice::ReadOnly)) all += QString::fromUtf8(f.readAll());
        }
        return all;
    }

    QByteArray settings() const {
        QFile f(data + "Kalvo2.ini");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

