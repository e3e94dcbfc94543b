// The real player with one music folder on a share that never answers (a
// FUSE mount whose calls all wait): it is usable within the wait bound,
// plays the reachable songs, logs the folder, keeps the share's songs in
// the list and quits in order; once the share answers again the next start
// finds its songs.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "e2e/RemotePlayer.h"
#include "fixtures/SilentShare.h"

using namespace xsession;
using namespace remote;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(SilentShare, PlayerStaysUsableAndKeepsTheSharesSongs) {
    if (!available()) GTEST_SKIP() << "no X display";
    RemotePlayer p;
    p.prepare({"1|34|0|1"});  // PageDown: next song
    const QString share = p.temp.path() + "/NAS/";
    // Hidden under the mount while it is silent; there again once it ends.
    writeFile(share + "Alben/lied3.wav", constantSong(3, 5));
    const QString list = p.data + "Liste.txt";
    writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " + p.music.toUtf8() +
                        "\r\n1 = " + share.toUtf8() + "\r\n[Lieder]\r\n0 = " + share.toUtf8() +
                        "Alben/lied3.wav|4711|1000\r\n");
    SilentShare silent(share);
    if (!silent.mounted()) GTEST_SKIP() << silent.why().toStdString();
    qputenv("KALVO2_DISK_WAIT_MS", "2000");

    QElapsedTimer usable;
    usable.start();
    ASSERT_TRUE(p.up());
    // The scan gives the share up after the bound and says so in the log.
    const QString silentLine = "_ListePfadeScannen: Verzeichnis antwortet nicht, übersprungen: " + share;
    for (int i = 0; i < 600 && !p.log().contains(silentLine); ++i) QThread::msleep(50);
    ASSERT_TRUE(p.log().contains(silentLine)) << p.log().toStdString();
    QThread::msleep(300);  // the progress window closes
    p.key("Next", p.window);
    EXPECT_TRUE(p.hears(2));
    std::printf("usable with a silent share after %lld ms (wait bound 2000 ms)\n", usable.elapsed());
    p.quit();
    EXPECT_EQ(p.process.exitCode(), 0);
    const QString saved = QString::fromUtf8(readAll(list));
    EXPECT_TRUE(saved.contains(share + "Alben/lied3.wav|4711|-1\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("1 = " + share + "\r\n")) << saved.toStdString();
    EXPECT_TRUE(p.settings().contains("LetzteListenDatei"));

    // The share answers again: the next start finds its song under its key.
    silent.end();
    qunsetenv("KALVO2_DISK_WAIT_MS");
    ASSERT_TRUE(p.up());
    p.quit();
    const QString found = QString::fromUtf8(readAll(list));
    EXPECT_TRUE(found.contains(QStringLiteral("%1Alben/lied3.wav|4711|%2\r\n").arg(share).arg(QFileInfo(share + "Alben/lied3.wav").size())))
        << found.toStdString();
}
