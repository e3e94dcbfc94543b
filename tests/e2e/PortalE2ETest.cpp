// The real desktop portal front end on a private session bus, with a
// stand-in desktop back end: the player binds its shortcuts there, a pressed
// shortcut is heard as the next song, and the inhibitions of suspend and
// idle follow the music and the black screen, also when the player is killed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>

#include "e2e/PrivateBus.h"
#include "e2e/RemotePlayer.h"

using namespace remote;

namespace {

const QString kFrontEnd = QStringLiteral("/usr/libexec/xdg-desktop-portal");
const QString kBackEnd = QStringLiteral(KALVO_SOURCE_DIR "/tests/e2e/portal/stand_in_backend.py");

// A session bus of this test alone with the portal front end on it, which
// finds the stand-in back end through its .portal file.
struct PortalDesktop {
    QTemporaryDir dir;
    QString backLog = dir.path() + "/backend.log";
    std::unique_ptr<PrivateBus> daemon;
    QProcess backEnd, frontEnd;
    QString address;
    std::unique_ptr<QDBusConnection> bus;

    explicit PortalDesktop(const QString& refuse = QString(), bool silent = false, bool providerBroken = false) {
        QDir().mkpath(dir.path() + "/portals");
        QFile portal(dir.path() + "/portals/kalvotest.portal");
        if (!portal.open(QIODevice::WriteOnly)) return;
        portal.write("[portal]\nDBusName=org.freedesktop.impl.portal.desktop.kalvotest\n"
                     "Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;org.freedesktop.impl.portal.Inhibit;\n"
                     "UseIn=kalvotest\n");
        portal.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DESKTOP_PORTAL_DIR", dir.path() + "/portals");
        env.insert("XDG_CURRENT_DESKTOP", "kalvotest");
        env.insert("STAND_IN_LOG", backLog);
        env.insert("STAND_IN_REFUSE", refuse);
        if (silent) env.insert("STAND_IN_SILENT", "1");
        if (providerBroken) env.insert("STAND_IN_PROVIDER_BROKEN", "1");
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        // Services the bus starts (the permission store) see the same.
        daemon = std::make_unique<PrivateBus>(env);
        address = daemon->address;
        if (address.isEmpty()) return;
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        backEnd.setProcessEnvironment(env);
        backEnd.setProcessChannelMode(QProcess::ForwardedChannels);
        backEnd.start("/usr/bin/python3", {kBackEnd});
        frontEnd.setProcessEnvironment(env);
        frontEnd.setStandardOutputFile(QProcess::nullDevice());
        frontEnd.setStandardErrorFile(dir.path() + "/frontend.log");
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "portal-test"));
        // The back end first: the front end looks for it as it starts.
        if (!pollUntil([this] { return backendLog().contains("ready"); })) return;
        frontEnd.start(kFrontEnd, {});
        pollUntil([this] { return bus->interface()->isServiceRegistered("org.freedesktop.portal.Desktop").value(); });
    }
    ~PortalDesktop() {
        bus.reset();
        QDBusConnection::disconnectFromBus("portal-test");
        for (QProcess* p : {&frontEnd, &backEnd}) {
            p->kill();
            p->waitForFinished();
        }
        daemon.reset();
    }
    bool up() const {
        return bus && bus->isConnected() &&
               bus->interface()->isServiceRegistered("org.freedesktop.portal.Desktop").value();
    }
    QString frontendLog() const {
        QFile f(dir.path() + "/frontend.log");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString backendLog() const {
        QFile f(backLog);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QStringList lines(const QString& prefix) const {
        QStringList out;
        for (const QString& l : backendLog().split('\n'))
            if (l.startsWith(prefix)) out << l;
        return out;
    }
    // Inhibitions of a flag taken and not released.
    int held(int flag) const {
        return lines(QStringLiteral("Inhibit %1 ").arg(flag)).size() -
               lines(QStringLiteral("InhibitReleased %1 ").arg(flag)).size();
    }
    // Presses a shortcut on the desktop: the sessions that bound it.
    int activate(const QString& id) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.impl.portal.desktop.kalvotest",
                                                           "/org/freedesktop/portal/desktop",
                                                           "org.kalvo2.test.StandIn", "Activate");
        call << id;
        const QDBusMessage reply = bus->call(call, QDBus::Block, 20000);
        return reply.arguments().value(0).toInt();
    }
    // The user gives a shortcut another trigger in the desktop's settings.
    int setTrigger(const QString& id, const QString& trigger) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.impl.portal.desktop.kalvotest",
                                                           "/org/freedesktop/portal/desktop",
                                                           "org.kalvo2.test.StandIn", "SetTrigger");
        call << id << trigger;
        return bus->call(call, QDBus::Block, 20000).arguments().value(0).toInt();
    }
    void mpris(const QString& method) {
        bus->call(QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.kalvo2", "/org/mpris/MediaPlayer2",
                                                 "org.mpris.MediaPlayer2.Player", method),
                  QDBus::Block, 20000);
    }
};

}  // namespace

TEST(Portal, OffscreenShortcutsPlayTheNextSongAndMusicAndBlackScreenHoldOffSuspendAndIdle) {
    if (!QFileInfo::exists(kFrontEnd)) GTEST_SKIP() << "no desktop portal front end";
    app();
    PortalDesktop desktop;
    ASSERT_TRUE(desktop.up()) << desktop.backendLog().toStdString() << desktop.frontendLog().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", desktop.address.toLocal8Bit());

    RemotePlayer p;
    p.prepare({"1|78|3|1", "2|46|0|6", "3|186|3|2", "4|34|1|3", "5|83|6|6"},
              "GBlackScreen = 1\r\nGBlackScrMonOff = 0\r\n");
    p.platform = "offscreen";
    p.start();
    ASSERT_TRUE(pollUntil([&] { return !desktop.lines("BindShortcuts").isEmpty(); }))
        << desktop.backendLog().toStdString();
    // Exactly the bindings with modifiers, in list order, one session.
    EXPECT_EQ(desktop.lines("Shortcut "), (QStringList{"Shortcut hotkey-1|nächstes Lied|CTRL+ALT+n",
                                                       "Shortcut hotkey-3|voriges Lied|CTRL+ALT+udiaeresis",
                                                       "Shortcut hotkey-4|vorwärts springen|ALT+Page_Down",
                                                       "Shortcut hotkey-5|Stopp / Blackscreen verlassen|CTRL+SHIFT+s"}));
    EXPECT_EQ(desktop.lines("CreateSession").size(), 1);
    ASSERT_TRUE(pollUntil([&] { return p.log().contains("HotkeyID 5"); })) << p.log().toStdString();
    const QString log = p.log();
    EXPECT_TRUE(log.contains("RegisterHotkeys: system-wide hotkeys through the desktop's shortcuts "
                             "(org.freedesktop.portal.GlobalShortcuts version 1)\r\n"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("HotkeyID 1 (nächstes Lied): Ctrl+Alt+N\r\n"));
    EXPECT_TRUE(log.contains("HotkeyID 3 (voriges Lied): Ctrl+Alt+Udiaeresis\r\n"));
    EXPECT_FALSE(log.contains("HotkeyID FAIL"));
    EXPECT_TRUE(desktop.lines("Inhibit ").isEmpty());  // nothing plays yet
    // The user changes a trigger on the desktop: the log follows.
    EXPECT_EQ(desktop.setTrigger("hotkey-1", "CTRL+ALT+x"), 1);
    EXPECT_TRUE(pollUntil([&] { return p.log().contains("HotkeyID 1 (nächstes Lied): Ctrl+Alt+X\r\n"); }))
        << p.log().toStdString();

    // A pressed shortcut: the next song, the black screen over it.
    EXPECT_EQ(desktop.activate("hotkey-1"), 1);
    EXPECT_TRUE(p.hears(2));
    EXPECT_EQ(desktop.activate("hotkey-1"), 1);
    EXPECT_TRUE(p.hears(3));
    ASSERT_TRUE(pollUntil([&] { return desktop.held(4) == 1 && desktop.held(8) == 1; }))
        << desktop.backendLog().toStdString();
    EXPECT_FALSE(desktop.lines("Inhibit 4 Kalvo2 spielt Musik /").isEmpty()) << desktop.backendLog().toStdString();

    // The stop shortcut ends the music and the black screen: both released.
    EXPECT_EQ(desktop.activate("hotkey-5"), 1);
    ASSERT_TRUE(pollUntil([&] { return desktop.held(4) == 0 && desktop.held(8) == 0; }))
        << desktop.backendLog().toStdString();
    EXPECT_EQ(p.heard(), 0);

    // Music again, then the player is killed: the portal lets go for it.
    desktop.mpris("Play");
    ASSERT_TRUE(pollUntil([&] { return desktop.held(4) == 1; })) << desktop.backendLog().toStdString();
    p.stop(SIGKILL);
    ASSERT_TRUE(pollUntil([&] { return desktop.held(4) == 0 && desktop.held(8) == 0; }))
        << desktop.backendLog().toStdString();
    EXPECT_TRUE(pollUntil([&] { return desktop.lines("SessionClosed").size() == 1; }));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST(Portal, OnXvfbALeftOutShortcutIsGrabbedAndOnlyAKeyAnotherProgramHoldsGetsTheBox) {
    if (!QFileInfo::exists(kFrontEnd)) GTEST_SKIP() << "no desktop portal front end";
    if (!xsession::available()) GTEST_SKIP() << "no X display";
    app();
    PortalDesktop desktop("hotkey-1,hotkey-4");
    ASSERT_TRUE(desktop.up()) << desktop.backendLog().toStdString() << desktop.frontendLog().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", desktop.address.toLocal8Bit());
    // Another program holds CTRL+ALT+N on the X server.
    xsession::Grabber other("n", 3);
    ASSERT_TRUE(other.holds());

    RemotePlayer p;
    p.prepare({"1|78|3|2", "2|46|0|6", "3|77|3|1", "4|75|3|1"});
    p.start();
    // The desktop left out CTRL+ALT+N and CTRL+ALT+K: the X11 grab of the
    // one another program holds fails with its line and box.
    const QString box = xsession::waitForWindow(QStringLiteral("Kalvo2 Meldung"), 30000);
    ASSERT_FALSE(box.isEmpty()) << p.log().toStdString();
    const QString log = p.log();
    EXPECT_TRUE(log.contains("HotkeyID FAIL=1  Key:78  Mod:3\r\n")) << log.toStdString();
    EXPECT_FALSE(log.contains("HotkeyID FAIL=4"));
    EXPECT_TRUE(log.contains("HotkeyID 3 (nächstes Lied): Ctrl+Alt+M\r\n"));
    EXPECT_TRUE(log.contains("RegisterHotkeys: X11 key grabs take the shortcuts the desktop holds no trigger for\r\n"));
    // While the message box is open a pressed shortcut is dropped.
    EXPECT_EQ(desktop.activate("hotkey-3"), 1);
    EXPECT_EQ(p.heard(), 0);
    p.key("Return", box);
    ASSERT_TRUE(xsession::waitUntilGone(QStringLiteral("Kalvo2 Meldung")));
    EXPECT_EQ(desktop.activate("hotkey-3"), 1);
    EXPECT_TRUE(p.hears(2));
    // The grab that stood in for the left-out one works from another window.
    xsession::OtherWindow elsewhere;
    ASSERT_FALSE(elsewhere.id.isEmpty());
    p.key("ctrl+alt+k", elsewhere.id);
    EXPECT_TRUE(p.hears(3)) << p.log().toStdString();
    p.quit();
    EXPECT_EQ(desktop.lines("SessionClosed").size(), 1);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// GNOME's back end may fail every bind when its settings' shortcut provider
// does not answer ("Method BindShortcuts is not implemented ..."). Without X11
// that costs one log line and one notice that holds nothing up: no box, and
// the media keys (MPRIS) work at once.
TEST(Portal, ABindTheDesktopFailsCostsOneNoticeAndHoldsNothingUp) {
    if (!QFileInfo::exists(kFrontEnd)) GTEST_SKIP() << "no desktop portal front end";
    app();
    PortalDesktop desktop(QString(), false, true);
    ASSERT_TRUE(desktop.up()) << desktop.backendLog().toStdString() << desktop.frontendLog().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", desktop.address.toLocal8Bit());
    RemotePlayer p;
    p.prepare({"1|78|3|1", "3|77|3|2"});
    p.platform = "offscreen";
    p.start();
    const QString line = "RegisterHotkeys: system-wide hotkeys are not available: the desktop holds no trigger for: "
                         "nächstes Lied, voriges Lied\r\n";
    ASSERT_TRUE(pollUntil([&] { return p.log().contains(line); })) << p.log().toStdString();
    EXPECT_TRUE(p.log().contains("RegisterHotkeys: the desktop refused the shortcuts: BindShortcuts answered 2\r\n"));
    EXPECT_EQ(desktop.lines("BindShortcuts provider failed").size(), 1);
    desktop.mpris("Play");
    EXPECT_TRUE(p.hears(1));
    EXPECT_FALSE(p.log().contains("HotkeyID FAIL"));
    EXPECT_EQ(p.log().count(line), 1);
    p.quit();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// A desktop that never answers the bind costs one log line after a few
// seconds; the player goes on as before.
TEST(Portal, ADesktopThatNeverAnswersCostsOneLogLine) {
    if (!QFileInfo::exists(kFrontEnd)) GTEST_SKIP() << "no desktop portal front end";
    app();
    PortalDesktop desktop(QString(), true);
    ASSERT_TRUE(desktop.up()) << desktop.backendLog().toStdString() << desktop.frontendLog().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", desktop.address.toLocal8Bit());
    RemotePlayer p;
    p.prepare({"1|78|3|1"});
    p.platform = "offscreen";
    p.start();
    ASSERT_TRUE(pollUntil([&] { return !desktop.lines("BindShortcuts unanswered").isEmpty(); }))
        << desktop.backendLog().toStdString();
    const QString line = "RegisterHotkeys: the desktop did not answer the shortcuts: no answer within 5 s\r\n";
    ASSERT_TRUE(pollUntil([&] { return p.log().contains(line); })) << p.log().toStdString();
    desktop.mpris("Play");
    EXPECT_TRUE(p.hears(1));
    EXPECT_EQ(p.log().count(line), 1);
    EXPECT_FALSE(p.log().contains("HotkeyID FAIL"));
    p.quit();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// A screensaver service, a portal and a notification service that froze:
// their names stay on the bus and no call is ever answered. The black screen
// opens and the player goes on answering as before; the inhibition it asked
// for is no failure it reports (a synchronous call gave up after 2 s with
// "Error: Screensaver cannot be de-/activated!" and held up the player meanwhile).
TEST(Portal, DesktopServicesThatNeverAnswerHoldNothingUp) {
    app();
    QTemporaryDir dir;
    const QString frozenLog = dir.path() + "/frozen.log";
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    QProcess frozen;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
    env.insert("FROZEN_LOG", frozenLog);
    frozen.setProcessEnvironment(env);
    frozen.setProcessChannelMode(QProcess::ForwardedChannels);
    frozen.start("/usr/bin/python3", {KALVO_SOURCE_DIR "/tests/e2e/portal/frozen_services.py"});
    const auto frozenCalls = [&] {
        QFile f(frozenLog);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    ASSERT_TRUE(pollUntil([&] { return frozenCalls().contains("ready"); }));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toLocal8Bit());
    std::unique_ptr<QDBusConnection> client =
        std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address, "frozen-test"));
    const auto mpris = [&](const QString& method) {
        client->call(QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.kalvo2", "/org/mpris/MediaPlayer2",
                                                    "org.mpris.MediaPlayer2.Player", method),
                     QDBus::Block, 20000);
    };

    RemotePlayer p;
    p.prepare({"1|78|3|1", "2|46|0|6"}, "GBlackScreen = 1\r\nGBlackScrMonOff = 0\r\n");
    p.platform = "offscreen";
    p.start();
    ASSERT_TRUE(pollUntil([&] {
        return client->interface()->isServiceRegistered("org.mpris.MediaPlayer2.kalvo2").value();
    }));
    mpris("Play");
    ASSERT_TRUE(p.hears(1));
    // The black screen asked the frozen screensaver; the player answers on.
    ASSERT_TRUE(pollUntil([&] { return frozenCalls().contains("call org.freedesktop.ScreenSaver.Inhibit"); }))
        << frozenCalls().toStdString();
    mpris("Next");
    EXPECT_TRUE(p.hears(2));
    // Longer than a synchronous call would have waited for its answer.
    QThread::msleep(2500);
    mpris("Next");
    EXPECT_TRUE(p.hears(3));
    EXPECT_FALSE(p.log().contains("Screensaver cannot be de-/activated")) << p.log().toStdString();
    p.quit();
    client.reset();
    QDBusConnection::disconnectFromBus("frozen-test");
    frozen.kill();
    frozen.waitForFinished();
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}
