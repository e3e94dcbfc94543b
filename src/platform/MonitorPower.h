#pragma once
#include <QString>

#include "platform/X11Session.h"

// Monitor low power through the X11 DPMS extension (standby). Where the
// session has no X11 or the server no DPMS, nothing happens and
// standby() answers false with the reason. UI thread only.
class MonitorPower {
public:
    MonitorPower() : x(X11Session::current()) {}
    bool standby();
    QString error() const { return lastError; }

private:
    X11Session x;
    QString lastError;
};
