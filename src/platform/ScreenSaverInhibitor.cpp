#include "platform/ScreenSaverInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace {
const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int kBusTimeoutMs = 2000;
}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor() : x(X11Session::current()) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() { setEnabled(true); }

bool ScreenSaverInhibitor::setEnabled(bool enabled) {
    lastError.clear();
    if (enabled) {
        QString ignored;
        if (x11Suspended) suspendX11(false, ignored);
        x11Suspended = false;
        releaseBus();
        return true;
    }
    if (inhibited()) return true;
    QString x11Why, busWhy;
    x11Suspended = suspendX11(true, x11Why);
    const bool bus = inhibitBus(busWhy);
    if (x11Suspended || bus) return true;
    lastError = QStringLiteral("X11: ") + x11Why + QStringLiteral("; ") + kService + QStringLiteral(": ") + busWhy;
    return false;
}

bool ScreenSaverInhibitor::suspendX11(bool suspend, QString& why) {
    if (!x.valid()) {
        why = x.why;
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XScreenSaverQueryExtension(x.display, &event, &error) ||
        !XScreenSaverQueryVersion(x.display, &major, &minor) || major < 1 || (major == 1 && minor < 1)) {
        why = QStringLiteral("the X server has no MIT-SCREEN-SAVER 1.1 extension");
        return false;
    }
    XScreenSaverSuspend(x.display, suspend ? True : False);
    XFlush(x.display);
    return true;
}

bool ScreenSaverInhibitor::inhibitBus(QString& why) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        why = QStringLiteral("no session bus (") + bus.lastError().message() + QLatin1Char(')');
        return false;
    }
    // Asking first avoids waiting for a service the bus would try to start.
    QDBusConnectionInterface* names = bus.interface();
    if (!names || !names->isServiceRegistered(kService).value()) {
        why = QStringLiteral("no such service on the session bus");
        return false;
    }
    QDBusInterface saver(kService, kPath, kService, bus);
    saver.setTimeout(kBusTimeoutMs);
    const QDBusReply<unsigned int> reply =
        saver.call(QStringLiteral("Inhibit"), QStringLiteral("Kalvo2"), QStringLiteral("Blackscreen"));
    if (!reply.isValid()) {
        why = reply.error().message();
        return false;
    }
    cookie = reply.value();
    // A cookie of 0 would read as "none": the service still holds something.
    if (cookie == 0) cookie = ~0u;
    return true;
}

void ScreenSaverInhibitor::releaseBus() {
    if (cookie == 0) return;
    QDBusInterface saver(kService, kPath, kService, QDBusConnection::sessionBus());
    saver.setTimeout(kBusTimeoutMs);
    saver.call(QDBus::NoBlock, QStringLiteral("UnInhibit"), cookie == ~0u ? 0u : cookie);
    cookie = 0;
}
