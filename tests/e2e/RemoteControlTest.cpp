// The remote control on a real X display: the real player on the xcb
// platform, keys sent with xdotool, what it plays captured to a WAV file.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include "e2e/PlayerProcess.h"
#include "e2e/XSession.h"
#include "playback/WavParser.h"

using namespace xsession;

namespace {

// Song n holds the constant sample 1000 * n, so the capture tells which
// song is heard.
constexpr int kSongs = 4;
constexpr int kRate = 8000;

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray constantSong(int n, int seconds = 60) {
    QByteArray samples(seconds * kRate * 2, Qt::Uninitialized);
    for (int i = 0; i < seconds * kRate; ++i) qToLittleEndian<qint16>(qint16(1000 * n), samples.data() + 2 * i);
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
        audioSink = "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink sync=true buffer-mode=unbuffered location=\"" + capture + "\"";
        for (int n = 1; n <= kSongs; ++n) writeFile(music + QStringLiteral("lied%1.wav").arg(n), constantSong(n));
        const QString list = data + "Liste.txt";
        // No continuous play: a song that seems to stand still must not
        // move on by itself while the test listens.
        QByteArray ini = "\xEF\xBB\xBF\r\n[Generell]\r\nFortwAbspielen = 0\r\nLetzteListenDatei = " +
                         list.toUtf8() + "\r\n" + generell +
                         "[KeyKonfig]\r\n";
        for (int i = 0; i < bindings.size(); ++i) ini += QStringLiteral("KeyCode%1 = %2\r\n").arg(i).arg(bindings[i]).toUtf8();
        writeFile(data + "Kalvo2.ini", ini);
        writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
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
    QString log() const {
        QString all;
        for (const QFileInfo& fi : QDir(data + "Log").entryInfoList({"*.log"})) {
            QFile f(fi.filePath());
            if (f.open(QIODevice::ReadOnly)) all += QString::fromUtf8(f.readAll());
        }
        return all;
    }
    void quit() { stop(SIGTERM); }
};

}  // namespace

// Keys pressed in the main window run their functions whatever control has
// the focus, and the focused control does not act on them as well.
TEST(RemoteControl, MainWindowKeysWorkWhateverControlHasTheFocus) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|34|0|1", "2|33|0|2", "3|107|0|7"});
    ASSERT_TRUE(p.up());
    // The volume slider takes the focus: clicked on its handle (at 100, the
    // right end), so that the volume and with it the samples stay as they are.
    p.click(389, 90);
    p.key("Next");      // PageDown: next song
    EXPECT_TRUE(p.hears(2));
    p.key("Next");
    EXPECT_TRUE(p.hears(3));
    p.click(255, 145);  // the sleep-timer field
    p.key("Prior");     // PageUp: previous song
    EXPECT_TRUE(p.hears(2));
    p.click(30, 117);   // "Spielen" has the focus after the click
    p.key("Next");
    EXPECT_TRUE(p.hears(3));
    p.quit();
}

// A hotkey works while another program has the focus; the same key without
// its modifiers goes to that program, and Num Lock changes nothing.
TEST(RemoteControl, HotkeyWorksWhileAnotherProgramHasTheFocus) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|78|3|1", "2|46|0|6"});
    ASSERT_TRUE(p.up());
    OtherWindow other;
    ASSERT_FALSE(other.id.isEmpty());
    xdotool({"windowfocus", "--sync", other.id});
    ASSERT_EQ(focusedWindow(), other.id);

    p.key("ctrl+alt+n");
    EXPECT_TRUE(p.hears(2));
    p.key("n");
    p.key("n");
    EXPECT_EQ(p.heard(), 2);
    p.key("ctrl+alt+n");
    EXPECT_TRUE(p.hears(3));
    p.key("Num_Lock");
    p.key("ctrl+alt+n");
    EXPECT_TRUE(p.hears(4));
    p.key("Num_Lock");
    EXPECT_EQ(focusedWindow(), other.id);
    EXPECT_FALSE(p.log().contains("HotkeyID FAIL"));
    p.quit();
}

// A combination another program holds first: the log line and the message.
TEST(RemoteControl, CombinationHeldByAnotherProgramIsReported) {
    if (!available()) GTEST_SKIP() << "no X display";
    Grabber other("n", 3);  // CTRL+ALT
    ASSERT_TRUE(other.holds());
    RemotePlayer p;
    p.prepare({"7|78|3|1"});
    p.start();
    const QString box = waitForWindow(QStringLiteral("Kalvo2 Meldung"), 30000);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_TRUE(p.log().contains("HotkeyID FAIL=7  Key:78  Mod:3\r\n")) << p.log().toStdString();
    p.key("Return", box);
    ASSERT_FALSE(waitForWindow(QStringLiteral(" Kalvo2 0.992")).isEmpty());
    p.quit();
}

// "BS" on: playing covers the screen in black; a bound key works in it, the
// stop key closes it and ends the music.
TEST(RemoteControl, BlackscreenCoversTheScreenAndTheStopKeyEndsIt) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|27|0|6", "2|34|0|1"}, "GBlackScreen = 1\r\nGBlackScrMonOff = 0\r\n");
    ASSERT_TRUE(p.up());
    p.click(30, 117);  // "Spielen"
    const QString black = waitForWindow(QStringLiteral("Kalvo BlackWin"));
    ASSERT_FALSE(black.isEmpty());
    const QStringList screen = xdotool({"getdisplaygeometry"}).split(QLatin1Char(' '));
    ASSERT_EQ(screen.size(), 2);
    EXPECT_EQ(geometry(black), QRect(0, 0, screen[0].toInt(), screen[1].toInt()));
    EXPECT_TRUE(p.hears(1));
    p.key("Next", black);
    EXPECT_TRUE(p.hears(2));
    p.key("Escape", black);
    EXPECT_TRUE(waitUntilGone(QStringLiteral("Kalvo BlackWin")));
    EXPECT_EQ(p.heard(), 0);  // nothing more is played
    EXPECT_FALSE(waitForWindow(QStringLiteral(" Kalvo2 0.992"), 1000).isEmpty());
    p.quit();
}
