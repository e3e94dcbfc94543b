#pragma once
// The real player on the xcb platform with four songs that can be told
// apart by ear: what it plays is captured to a WAV file, and keys and clicks
// reach it through the X server.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include "e2e/PlayerProcess.h"
#include "e2e/XSession.h"
#include "playback/WavParser.h"

namespace remote {

using namespace xsession;

// Song n holds the constant sample 1000 * n, so the capture tells which
// song is heard.
inline constexpr int kSongs = 4;
inline constexpr int kRate = 8000;

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

inline QByteArray constantSong(int n, int seconds = 60) {
    QByteArray samples(seconds * kRate * 2, Qt::Uninitialized);
    for (int i = 0; i < seconds * kRate; ++i)
        qToLittleEndian<qint16>(qint16(1000 * n), samples.data() + 2 * i);
    return wavImage16(samples, kRate, 1);
}

struct RemotePlayer : Player {
    QString capture = temp.path() + "/heard.wav";
    QString music = temp.path() + "/Musik/";
    QString window;  // the main window's X id

    // Songs 1..4, the list at full volume, the settings with the bindings
    // ("id|key|modifiers|function" each) and more "Generell" lines.
    void prepare(const QStringList& bindings, const QByteArray& generell = QByteArray()) {
        platform = "xcb";
        audioSink =
            "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink sync=true "
            "buffer-mode=unbuffered location=\"" +
            capture + "\"";
        for (int n = 1; n <= kSongs; ++n)
            writeFile(music + QStringLiteral("lied%1.wav").arg(n), constantSong(n));
        const QString list = data + "Liste.txt";
        // No continuous play: a song that seems to stand still must not
        // move on by itself while the test listens.
        QByteArray ini =
            "\xEF\xBB\xBF\r\n[Generell]\r\nFortwAbspielen = 0\r\nLetzteListenDatei = " +
            list.toUtf8() + "\r\n" + generell + "[KeyKonfig]\r\n";
        for (int i = 0; i < bindings.size(); ++i)
            ini += QStringLiteral("KeyCode%1 = %2\r\n").arg(i).arg(bindings[i]).toUtf8();
        writeFile(data + "Kalvo2.ini", ini);
        // Each song tells itself by its exact sample value: played unlevelled.
        writeFile(data + "Lautstärke.ini", "\xEF\xBB\xBF\r\n[Lautstärke]\r\nAngleichen = 0\r\n");
        writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " +
                            music.toUtf8() + "\r\n");
    }
    bool up() {
        start();
        window = waitForWindow(QStringLiteral(" Kalvo2 0.992"), 30000);
        return !window.isEmpty();
    }
    // Clicks at a point of the main window's inner area (below the menu bar).
    void click(int x, int y) {
        const QRect g = geometry(window);
        const int menuBar = g.height() - 180;
        xdotool({"mousemove", QString::number(g.x() + x), QString::number(g.y() + menuBar + y)});
        xdotool({"click", "1"});
        QThread::msleep(150);
    }
    // Real key presses (XTEST), after giving window to the focus if named.
    void key(const QString& keys, const QString& to = QString()) {
        if (!to.isEmpty()) xdotool({"windowfocus", "--sync", to});
        xdotool({"key", keys});
    }
    // The song heard now: 1..4 from the newest captured samples, 0 when
    // nothing new arrives within two seconds.
    int heard() {
        QElapsedTimer t;
        t.start();
        qint64 start = QFileInfo(capture).size();
        while (t.elapsed() < 2000) {
            QThread::msleep(100);
            QFile f(capture);
            if (f.size() < start) start = 0;  // a new song began a new capture
            if (f.size() < start + 800 || !f.open(QIODevice::ReadOnly)) continue;
            f.seek(f.size() - 2 - (f.size() % 2));
            const QByteArray last = f.read(2);
            if (last.size() == 2) return qFromLittleEndian<qint16>(last.constData()) / 1000;
        }
        return 0;
    }
    // Waits until song n is what is heard (a new song's capture replaces the last).
    bool hears(int n) {
        for (int i = 0; i < 10; ++i)
            if (heard() == n) return true;
        return false;
    }
    void quit() { stop(SIGTERM); }
};

}  // namespace remote
