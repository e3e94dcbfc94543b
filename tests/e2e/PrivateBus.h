#pragma once
// A session bus of the test's own, and the Qt application object that the
// D-Bus client side of a test needs.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QThread>
#include <functional>

// A dbus-daemon of this test alone; the services it starts see env.
struct PrivateBus {
    QProcess daemon;
    QString address;
    explicit PrivateBus(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        daemon.setProcessEnvironment(env);
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted(20000)) return;
        while (!daemon.canReadLine() && daemon.waitForReadyRead(20000)) {}
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.kill();
        daemon.waitForFinished();
    }
};

inline QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test_e2e";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

// Asks done every 50 ms until it holds (true) or ms have passed (false):
// for services on the bus that answer in their own time.
inline bool pollUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QThread::msleep(50);
    }
    return true;
}
