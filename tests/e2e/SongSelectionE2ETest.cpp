// The real player on an X server, driven with the mouse and keyboard through
// xdotool: "Lied:" opens the song selection window, "Finde:" finds a song by
// part of its name, a double-click plays it, and the window's place is kept.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRect>
#include <QRegularExpression>

#include "e2e/PlayerProcess.h"
#include "fakes/Fakes.h"
#include "fixtures/Fixtures.h"

namespace {

QString xdo(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    if (!p.waitForFinished(20000)) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QString visibleWindow(const QString& name) {
    for (int i = 0; i < 100; ++i) {
        const QString ids = xdo({"search", "--onlyvisible", "--name", name});
        if (!ids.isEmpty()) return ids.section('\n', 0, 0);
        QThread::msleep(100);
    }
    return {};
}

// Outer position and size of an X window.
QRect geometryOf(const QString& window) {
    const QString out = xdo({"getwindowgeometry", "--shell", window});
    auto value = [&out](const char* key) {
        const auto m = QRegularExpression(QStringLiteral("%1=(-?\\d+)").arg(key)).match(out);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
}

void clickAt(int x, int y, int times = 1) {
    xdo({"mousemove", "--sync", QString::number(x), QString::number(y)});
    QThread::msleep(150);
    xdo({"click", "--repeat", QString::number(times), "--delay", "80", "1"});
    QThread::msleep(400);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(SongSelectionE2E, FindsASongByPartOfItsNameAndPlaysItOnDoubleClick) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X server (tools/run-tests starts one)";
    Player p;
    p.platform = "xcb";
    const QString music = p.temp.path() + "/Musik/";
    for (const char* name : {"Anfang.wav", "Blau/Mitte.wav", "Grün/Der Zielsong.wav", "Zuletzt.wav"})
        ASSERT_TRUE(fixtures::writeFixture(music + name, fixtures::wavTone(2.0)));
    const QString list = p.data + "Standard.txt";
    ASSERT_TRUE(fixtures::writeFixture(p.data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nLetzteListenDatei = " +
                                                        list.toUtf8() +
                                                        "\r\nFortwAbspielen = 0\r\n[Window]\r\nWinX = 40\r\nWinY = 40\r\n"));
    ASSERT_TRUE(fixtures::writeFixture(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 50\r\n[Pfade]\r\n0 = " +
                                       music.toUtf8() + "\r\n"));
    p.start();
    ASSERT_TRUE(p.waitUntilUp(p.data + "Log"));

    // "Lied:" lies at 5, 55 (40 x 20) of the area below the menu bar.
    const QString mainWindow = visibleWindow("Kalvo2 0.992");
    ASSERT_FALSE(mainWindow.isEmpty());
    const QRect m = geometryOf(mainWindow);
    ASSERT_GT(m.height(), 180);
    const int clientTop = m.y() + m.height() - 180;
    clickAt(m.x() + 25, clientTop + 65);

    const QString selection = visibleWindow("Lied ausw");
    ASSERT_FALSE(selection.isEmpty()) << "the song selection window did not open";
    const QRect s = geometryOf(selection);
    EXPECT_EQ(s.size(), QSize(460, 300));

    clickAt(s.x() + 400, s.y() + 15);  // the search field
    xdo({"type", "--delay", "40", "ZIELSONG"});
    QThread::msleep(300);
    clickAt(s.x() + 327, s.y() + 15);  // "Finde:"
    clickAt(s.x() + 80, s.y() + 39, 2);  // the first and only row
    QThread::msleep(1000);

    p.stop(SIGTERM);
    ASSERT_EQ(p.process.exitCode(), 0);
    const QString saved = QString::fromUtf8(readFile(list));
    EXPECT_TRUE(saved.contains("ZuletztGespielt = " + music + "Grün/Der Zielsong.wav\r\n")) << saved.toStdString();
    // It played: a load failure would be in the log.
    QDir logs(p.data + "Log");
    for (const QString& name : logs.entryList(QDir::Files))
        EXPECT_FALSE(readFile(logs.filePath(name)).contains("nicht laden")) << name.toStdString();
    // Quitting with the window open keeps its place.
    const QByteArray settings = p.settings();
    EXPECT_TRUE(settings.contains("WinXLied = " + QByteArray::number(s.x()) + "\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("WinXDLied = 460\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("WinYDLied = 300\r\n")) << settings.toStdString();
}
