// The real player on a private session bus, driven by playerctl as a desktop
// would drive it, and watched with QtDBus for its change signals.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QUrl>

#include "e2e/PrivateBus.h"
#include "e2e/PlayerProcess.h"
#include "e2e/RemotePlayer.h"
#include "fakes/Fakes.h"
#include "fixtures/Fixtures.h"

namespace {

// Collects the player's PropertiesChanged and Seeked signals.
class SignalProbe : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& values, const QStringList&) {
        if (interface == "org.mpris.MediaPlayer2.Player") changes << values;
    }
    void seeked(qlonglong position) { seeks << position; }
};

// Serves the event loop until done() holds or 30 s have passed.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 30000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

QString playerctl(const QStringList& args) {
    QProcess p;
    p.start("playerctl", QStringList{"--player=kalvo2"} + args);
    if (!p.waitForFinished(30000)) return "<timeout>";
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString fileUrl(const QString& path) { return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded); }

}  // namespace

TEST(Mpris, PlayerctlDrivesTheRealPlayerAndSignalsFollow) {
    app();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toLocal8Bit());

    Player p;
    const QString music = p.temp.path() + "/Mein Ordner/";
    const QByteArray tone = fixtures::wavTone(30.0, 440.0, 0.5, 22050);
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) writeFile(music + name, tone);
    const QString list = p.data + "Liste.txt";
    writeFile(p.data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nLetzteListenDatei = " + list.toUtf8() + "\r\n");
    writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 70\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");

    QDBusConnection probeBus = QDBusConnection::connectToBus(bus.address, "probe");
    ASSERT_TRUE(probeBus.isConnected());
    SignalProbe probe;
    ASSERT_TRUE(probeBus.connect(QString(), "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                                 "PropertiesChanged", &probe,
                                 SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    ASSERT_TRUE(probeBus.connect(QString(), "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player", "Seeked",
                                 &probe, SLOT(seeked(qlonglong))));

    // Real time, so positions advance as they would with a sound card.
    p.audioSink = "fakesink sync=true";
    p.start();
    ASSERT_TRUE(waitFor([] { return playerctl({"status"}) == "Stopped"; }));
    EXPECT_EQ(playerctl({"metadata", "mpris:trackid"}), "'/org/mpris/MediaPlayer2/TrackList/NoTrack'");  // playerctl quotes object paths

    playerctl({"play"});
    ASSERT_TRUE(waitFor([] { return playerctl({"status"}) == "Playing"; }));
    EXPECT_EQ(playerctl({"metadata", "xesam:url"}), fileUrl(music + "a.wav"));
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), "a");
    EXPECT_EQ(playerctl({"metadata", "mpris:length"}), "30000000");
    // The start of the first song after start-up is signalled too.
    ASSERT_TRUE(waitFor([&] {
        for (const QVariantMap& c : probe.changes)
            if (c.value("PlaybackStatus") == "Playing" && c.contains("Metadata")) return true;
        return false;
    }));
    for (const QVariantMap& c : probe.changes) {
        if (!c.contains("Metadata")) continue;
        const QVariantMap md = qdbus_cast<QVariantMap>(c.value("Metadata").value<QDBusArgument>());
        EXPECT_EQ(md.value("xesam:url").toString(), fileUrl(music + "a.wav"));
        EXPECT_EQ(md.value("mpris:length").toLongLong(), 30000000);
    }

    playerctl({"next"});
    ASSERT_TRUE(waitFor([&] { return playerctl({"metadata", "xesam:url"}) == fileUrl(music + "b.wav"); }));
    playerctl({"previous"});
    ASSERT_TRUE(waitFor([&] { return playerctl({"metadata", "xesam:url"}) == fileUrl(music + "a.wav"); }));

    probe.changes.clear();
    playerctl({"volume", "0.3"});
    ASSERT_TRUE(waitFor([] { return playerctl({"volume"}) == "0.300000"; }));
    ASSERT_TRUE(waitFor([&] {
        for (const QVariantMap& c : probe.changes)
            if (c.contains("Volume")) return c.value("Volume").toDouble() == 0.3;
        return false;
    }));

    playerctl({"position", "10+"});
    ASSERT_TRUE(waitFor([&] { return !probe.seeks.isEmpty(); }));
    EXPECT_GE(probe.seeks.first(), 10000000);
    EXPECT_GE(playerctl({"position"}).toDouble(), 10.0);
    playerctl({"position", "2"});
    ASSERT_TRUE(waitFor([&] { return probe.seeks.size() >= 2; }));
    EXPECT_LT(playerctl({"position"}).toDouble(), 10.0);

    probe.changes.clear();
    playerctl({"stop"});
    ASSERT_TRUE(waitFor([] { return playerctl({"status"}) == "Stopped"; }));
    EXPECT_EQ(playerctl({"metadata", "mpris:trackid"}), "'/org/mpris/MediaPlayer2/TrackList/NoTrack'");  // playerctl quotes object paths
    ASSERT_TRUE(waitFor([&] {
        for (const QVariantMap& c : probe.changes)
            if (c.value("PlaybackStatus") == "Stopped") return true;
        return false;
    }));

    // The volume set over the bus is the list's volume, saved at exit.
    p.stop(SIGTERM);
    EXPECT_EQ(p.process.exitCode(), 0);
    QFile saved(list);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("Lautstaerke = 30\r\n"));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// A desktop asks the playing player to open a document or a folder: both are
// refused with an error reply, the song plays on, and the delete key then
// moves the song heard and nothing else.
TEST(Mpris, OpenUriRefusesADocumentOrAFolderAndTheDeleteMovesOnlyTheSongHeard) {
    if (!xsession::available()) GTEST_SKIP() << "no X display";
    app();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toLocal8Bit());

    remote::RemotePlayer p;
    p.prepare({"1|46|0|5"});  // Entf: delete the song
    const QString letter = p.home + "/Dokumente/Brief.odt";
    writeFile(letter, "Brief");
    const QString photos = p.home + "/Bilder/Urlaub.wav";  // a folder with a song's name
    writeFile(photos + "/1.jpg", "jpg");
    ASSERT_TRUE(p.up());
    playerctl({"play"});
    ASSERT_TRUE(p.hears(1));

    QDBusConnection caller = QDBusConnection::connectToBus(bus.address, "opener");
    ASSERT_TRUE(caller.isConnected());
    for (const QString& target : {letter, photos}) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.kalvo2", "/org/mpris/MediaPlayer2",
                                                           "org.mpris.MediaPlayer2.Player", "OpenUri");
        call << fileUrl(target);
        const QDBusMessage reply = caller.call(call, QDBus::Block, 30000);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << target.toStdString();
    }
    EXPECT_TRUE(p.hears(1));
    EXPECT_EQ(playerctl({"metadata", "xesam:url"}), fileUrl(p.music + "lied1.wav"));

    p.key("Delete", p.window);
    EXPECT_TRUE(p.hears(2));
    QFile kept(letter);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("Brief"));
    EXPECT_TRUE(QFileInfo::exists(photos + "/1.jpg"));
    EXPECT_FALSE(QFileInfo::exists(p.music + "lied1.wav"));
    const QString trash = p.data + "Kalvo-Kübel";
    EXPECT_EQ(QDir(trash).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"_Kalvo-Trash.ini", "lied1.wav"}));
    p.quit();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// What the desktop shows of songs with tags, a cover, a module title and
// hostile tags, asked with playerctl over the bus as an applet asks.
TEST(Mpris, PlayerctlShowsTheSongsTagsAndCover) {
    app();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toLocal8Bit());

    Player p;
    const QString cache = p.temp.path() + "/cache";
    qputenv("XDG_CACHE_HOME", cache.toLocal8Bit());
    const QString music = p.temp.path() + "/Musik/";
    QDir().mkpath(music);
    QString why;
    const QString tagged = music + "01 abend.mp3";
    ASSERT_TRUE(fixtures::mp3Tone(tagged, 20.0, &why, true,
                                  {"--tt", "Abendlied", "--ta", "Der Chor", "--tl", "Lieder zur Nacht", "--tn", "4"}))
        << why.toStdString();
    const QString png = p.temp.path() + "/bild.png";
    writeFile(png, fixtures::tinyPng());
    const QString covered = music + "02 bild.mp3";
    ASSERT_TRUE(fixtures::mp3Tone(covered, 20.0, &why, true, {"--tt", "Mit Bild", "--ta", "Die Band", "--ti", png}));
    QByteArray mod = fixtures::protrackerModule(4, 64, 6, true);
    mod.replace(0, 20, QByteArray("Sternennacht\0\0\0\0\0\0\0\0", 20));
    const QString module = music + "sterne.mod";
    writeFile(module, mod);
    const QString plain = music + "ohne Tags.wav";
    writeFile(plain, fixtures::wavTone(20.0, 440.0, 0.5, 22050));
    // Hostile tags: invalid UTF-8 and control characters, a 100 kB title, a 50 MB picture.
    const QString untagged = p.temp.path() + "/roh.mp3";
    ASSERT_TRUE(fixtures::mp3Tone(untagged, 20.0, &why));
    QFile rawFile(untagged);
    ASSERT_TRUE(rawFile.open(QIODevice::ReadOnly));
    const QByteArray audio = rawFile.readAll();
    const QString invalid = music + "kaputt.mp3";
    writeFile(invalid, fixtures::id3v2Tag("Ung\xFCltig \xC3\x28", "Gl\x07ocke\x1B[2J", "Album\r\nZwei") + audio);
    const QString longTitle = music + "lang.mp3";
    writeFile(longTitle, fixtures::id3v2Tag(QByteArray(100 * 1024, 'L'), "Lang", "") + audio);
    QByteArray huge = fixtures::tinyPng();
    huge.append(QByteArray(50 * 1024 * 1024, '\x42'));
    const QString bigCover = music + "riesenbild.mp3";
    writeFile(bigCover, fixtures::id3v2Tag("Riesenbild", "Gross", "", huge) + audio);

    const QString list = p.data + "Liste.txt";
    writeFile(p.data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nLetzteListenDatei = " + list.toUtf8() + "\r\n");
    writeFile(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 70\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
    p.audioSink = "fakesink sync=true";
    p.start();
    ASSERT_TRUE(waitFor([] { return playerctl({"status"}) == "Stopped"; }));

    const auto open = [&](const QString& song) {
        playerctl({"open", fileUrl(song)});
        return waitFor([&] { return playerctl({"metadata", "xesam:url"}) == fileUrl(song); });
    };
    const auto show = [](const QString& song) {
        std::printf("playerctl metadata for %s:\n%s\n", qPrintable(QFileInfo(song).fileName()),
                    qPrintable(playerctl({"metadata"}).left(2000)));
    };

    ASSERT_TRUE(open(tagged));
    show(tagged);
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), "Abendlied");
    EXPECT_EQ(playerctl({"metadata", "xesam:artist"}), "Der Chor");
    EXPECT_EQ(playerctl({"metadata", "xesam:album"}), "Lieder zur Nacht");
    EXPECT_EQ(playerctl({"metadata", "xesam:trackNumber"}), "4");
    EXPECT_EQ(playerctl({"metadata", "mpris:artUrl"}), "");

    ASSERT_TRUE(open(covered));
    show(covered);
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), "Mit Bild");
    const QString art = playerctl({"metadata", "mpris:artUrl"});
    ASSERT_TRUE(art.startsWith("file://" + cache + "/Kalvo2/cover-")) << art.toStdString();
    QFile cover(QUrl(art).toLocalFile());
    ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
    EXPECT_EQ(cover.readAll(), fixtures::tinyPng());

    ASSERT_TRUE(open(module));
    show(module);
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), "Sternennacht");

    // A picture beside the songs shows for those without one of their own.
    writeFile(music + "Folder.JPG", "\xFF\xD8\xFF\xE0 not decoded by the player");
    ASSERT_TRUE(open(plain));
    show(plain);
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), "ohne Tags");
    EXPECT_EQ(playerctl({"metadata", "xesam:artist"}), "");
    EXPECT_EQ(playerctl({"metadata", "mpris:artUrl"}), fileUrl(music + "Folder.JPG"));

    for (const QString& song : {invalid, longTitle, bigCover}) {
        QElapsedTimer started;
        started.start();
        ASSERT_TRUE(open(song)) << song.toStdString();
        std::printf("%s: heard and shown after %lld ms\n", qPrintable(QFileInfo(song).fileName()), started.elapsed());
        show(song);
        const QString title = playerctl({"metadata", "xesam:title"});
        EXPECT_FALSE(title.isEmpty());
        EXPECT_LE(title.size(), 1000);
        EXPECT_EQ(playerctl({"status"}), "Playing");
    }
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), "Riesenbild");
    EXPECT_EQ(playerctl({"metadata", "mpris:artUrl"}), fileUrl(music + "Folder.JPG")) << "the 50 MB picture is not written";
    EXPECT_EQ(QDir(cache + "/Kalvo2").entryList(QDir::Files).size(), 1);
    ASSERT_TRUE(open(longTitle));
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), QString(1000, 'L'));
    ASSERT_TRUE(open(invalid));
    EXPECT_EQ(playerctl({"metadata", "xesam:artist"}), "Glocke[2J");

    p.stop(SIGTERM);
    EXPECT_EQ(p.process.exitCode(), 0);
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

#include "MprisTest.moc"
