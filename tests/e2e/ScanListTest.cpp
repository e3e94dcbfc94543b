#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "e2e/PlayerProcess.h"
#include "fakes/Fakes.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// A real folder tree scanned by the real program at start-up: the list file
// it writes at exit holds the songs the patterns take, in path order, with
// their sizes and fresh random keys, and resumes at the first song.
TEST(ScanList, StartUpScansTheListFoldersAndExitWritesTheList) {
    Player p;
    const QString music = p.temp.path() + "/Musik/";
    writeFile(music + "b.mp3", QByteArray(1200, 'b'));
    writeFile(music + "A.mp3", QByteArray(300, 'a'));
    writeFile(music + "c.txt", QByteArray(10, 'c'));
    writeFile(music + "e.ogg", QByteArray(10, 'e'));
    writeFile(music + "Ordner/d.MOD", QByteArray(500, 'd'));
    const QString list = p.data + "Meine.txt";
    writeFile(p.data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nLetzteListenDatei = " + list.toUtf8() + "\r\n");
    writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 70\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");

    p.start();
    ASSERT_TRUE(p.waitUntilUp(p.data + "Log"));
    p.stop(SIGTERM);
    ASSERT_EQ(p.process.exitCode(), 0);

    const QByteArray bytes = readFile(list);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF\r\n[Kalvo]\r\n")) << bytes.toStdString();
    const QString text = QString::fromUtf8(bytes);
    const QString songs = QStringLiteral(
        "\\[Kalvo\\]\r\nZuletztGespielt = %1A\\.mp3\r\nZuletztZufaelligGespielt = 0\r\nLautstaerke = 70\r\n"
        "\\[Pfade\\]\r\n0 = %1\r\n"
        "\\[Lieder\\]\r\n0 = %1A\\.mp3\\|(\\d+)\\|300\r\n1 = %1b\\.mp3\\|(\\d+)\\|1200\r\n"
        "2 = %1Ordner/d\\.MOD\\|(\\d+)\\|500\r\n$").arg(QRegularExpression::escape(music));
    const QRegularExpressionMatch m = QRegularExpression(songs).match(text);
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    for (int i = 1; i <= 3; ++i) {
        const qint64 key = m.captured(i).toLongLong();
        EXPECT_GE(key, 1);
        EXPECT_LE(key, 2147483647);
    }
    EXPECT_EQ(p.settings().contains(("LetzteListenDatei = " + list).toUtf8()), true);
}
