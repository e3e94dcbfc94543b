#pragma once
#include <QString>

#include "platform/X11Session.h"

// Keeps the screensaver away in the ways a Linux desktop honours: the X11
// screensaver is suspended (XScreenSaverSuspend) and an inhibition is taken
// from the session bus service org.freedesktop.ScreenSaver where one runs.
// Both end with the player: the X server lifts the suspension and the service
// drops the inhibition when the connection closes, also when the player is
// killed. Switching off twice takes one inhibition. UI thread only.
class ScreenSaverInhibitor {
public:
    ScreenSaverInhibitor();
    ~ScreenSaverInhibitor();  // lets the screensaver return

    // False when neither way took the switch; error() gives both reasons.
    bool setEnabled(bool enabled);
    QString error() const { return lastError; }
    bool inhibited() const { return x11Suspended || cookie != 0; }

private:
    bool suspendX11(bool suspend, QString& why);
    bool inhibitBus(QString& why);
    void releaseBus();

    X11Session x;
    bool x11Suspended = false;
    unsigned int cookie = 0;  // the session bus inhibition, 0 = none
    QString lastError;
};
