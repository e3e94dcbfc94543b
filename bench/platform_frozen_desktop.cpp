// How long the UI thread is held when the black screen switches the
// screensaver off and on again while the desktop's services froze: they keep
// their names on the session bus and never answer (a screensaver service, the
// portal, a notification service). Measured from the switch until the event
// loop runs the next queued event, which is what a key pressed meanwhile
// waits for. Baselines in the same run: the same switch on a bus without
// those services, and one blocking call to the frozen screensaver with the
// 2 s timeout a synchronous inhibition would use.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/QtDesktop.h"

namespace {

constexpr int kSwitches = 5;

void runLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Milliseconds from the start of f until the event loop runs again.
double held(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    double ms = -1;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        ms = t.nsecsElapsed() / 1e6;
        loop.quit();
    });
    loop.exec();
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double switchScreensaver() {
    QtDesktop desktop;
    runLoop(300);  // the bus said who is there
    std::vector<double> v;
    for (int i = 0; i < kSwitches; ++i) {
        v.push_back(held([&] { desktop.setScreensaverEnabled(false); }));
        runLoop(50);
        v.push_back(held([&] { desktop.setScreensaverEnabled(true); }));
        runLoop(50);
    }
    return median(v);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!daemon.waitForStarted(20000) || !daemon.waitForReadyRead(20000)) {
        std::fprintf(stderr, "no dbus-daemon\n");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
    QApplication app(argc, argv);

    const double quiet = switchScreensaver();

    QProcess frozen;
    const QString log = dir.path() + "/frozen.log";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FROZEN_LOG", log);
    frozen.setProcessEnvironment(env);
    frozen.start("/usr/bin/python3", {KALVO_SOURCE_DIR "/tests/e2e/portal/frozen_services.py"});
    for (int i = 0; i < 200 && !QFile::exists(log); ++i) QThread::msleep(50);
    const double stuck = switchScreensaver();

    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                                       "org.freedesktop.ScreenSaver", "Inhibit");
    call << QString("Kalvo2") << QString("Blackscreen");
    const double blocking = held([&] { QDBusConnection::sessionBus().call(call, QDBus::Block, 2000); });

    std::printf("screensaver switch, bus without those services: %8.2f ms UI thread held (median of %d)\n", quiet,
                2 * kSwitches);
    std::printf("screensaver switch, services frozen:            %8.2f ms UI thread held (median of %d)\n", stuck,
                2 * kSwitches);
    std::printf("one blocking call to the frozen service:        %8.2f ms\n", blocking);
    std::printf("ratio frozen / without: %.2f   ratio frozen / blocking call: %.4f\n", stuck / std::max(quiet, 0.001),
                stuck / blocking);
    frozen.kill();
    frozen.waitForFinished();
    daemon.kill();
    daemon.waitForFinished();
    return 0;
}
