#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "platform/X11Session.h"

class QDBusServiceWatcher;

// Keeps the screensaver away in the ways a Linux desktop honours: the X11
// screensaver is suspended (XScreenSaverSuspend) and an inhibition is taken
// from the session bus service org.freedesktop.ScreenSaver where one runs.
// Both end with the player: the X server lifts the suspension and the service
// drops the inhibition when the connection closes, also when the player is
// killed. Switching off twice takes one inhibition. The bus is never waited
// for: its answer comes later on the UI thread, and a service that never
// answers holds up nothing. UI thread only.
class ScreenSaverInhibitor {
public:
    ScreenSaverInhibitor();
    ~ScreenSaverInhibitor();  // lets the screensaver return

    // False when neither way took the switch; error() gives both reasons. A
    // request to the bus service counts as taken; when the service refuses it
    // later, logger hears why (once per reason).
    bool setEnabled(bool enabled);
    QString error() const { return lastError; }
    bool inhibited() const;
    std::function<void(const QString&)> logger;

private:
    // One inhibition asked of the bus service: its cookie once answered, and
    // whether the player still wants it.
    struct BusHold {
        bool granted = false;
        bool wanted = true;
        unsigned int cookie = 0;
    };
    // Whether the service has its name on the bus, followed as it comes and
    // goes; unknown until the bus first says.
    enum class Presence { Unknown, Present, Absent };
    bool suspendX11(bool suspend, QString& why);
    bool inhibitBus(QString& why);
    void releaseBus();

    X11Session x;
    bool x11Suspended = false;
    std::shared_ptr<BusHold> busHold;  // null = none asked
    std::shared_ptr<std::function<void(const QString&)>> log;
    std::shared_ptr<Presence> presence;
    std::unique_ptr<QDBusServiceWatcher> watcher;
    QString lastError;
};
