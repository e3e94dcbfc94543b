#include "platform/ScreenSaverInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace {
const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int kBusTimeoutMs = 2000;

QDBusMessage unInhibit(unsigned int cookie) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("UnInhibit"));
    call << cookie;
    call.setAutoStartService(false);
    return call;
}
}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor()
    : x(X11Session::current()),
      log(std::make_shared<std::function<void(const QString&)>>()),
      presence(std::make_shared<Presence>(Presence::Unknown)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    watcher = std::make_unique<QDBusServiceWatcher>(kService, bus, QDBusServiceWatcher::WatchForOwnerChange);
    auto p = presence;
    QObject::connect(watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, watcher.get(),
                     [p](const QString&, const QString&, const QString& owner) {
                         *p = owner.isEmpty() ? Presence::Absent : Presence::Present;
                     });
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kService;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(ask), watcher.get());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, watcher.get(), [p](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<bool> reply = *w;
        if (!reply.isError() && *p == Presence::Unknown) *p = reply.value() ? Presence::Present : Presence::Absent;
    });
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() { setEnabled(true); }

bool ScreenSaverInhibitor::inhibited() const { return x11Suspended || (busHold && busHold->wanted); }

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
    if (*presence == Presence::Absent) {
        why = QStringLiteral("no such service on the session bus");
        return false;
    }
    *log = logger;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Inhibit"));
    call << QStringLiteral("Kalvo2") << QStringLiteral("Blackscreen");
    // Not started on demand: the bus answers at once when no one has the name.
    call.setAutoStartService(false);
    auto hold = std::make_shared<BusHold>();
    busHold = hold;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kBusTimeoutMs));
    auto logTo = log;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [hold, logTo](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<unsigned int> reply = *w;
        if (reply.isError()) {
            hold->wanted = false;
            if (reply.error().type() != QDBusError::ServiceUnknown && *logTo)
                (*logTo)(QStringLiteral("Screensaver: ") + kService + QStringLiteral(": ") + reply.error().message());
            return;
        }
        hold->granted = true;
        hold->cookie = reply.value();
        // Let go before the answer came: given back at once.
        if (!hold->wanted) QDBusConnection::sessionBus().send(unInhibit(hold->cookie));
    });
    return true;
}

void ScreenSaverInhibitor::releaseBus() {
    if (!busHold) return;
    busHold->wanted = false;
    if (busHold->granted) QDBusConnection::sessionBus().send(unInhibit(busHold->cookie));
    busHold.reset();
}
