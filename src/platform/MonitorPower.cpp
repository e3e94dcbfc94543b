#include "platform/MonitorPower.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

bool MonitorPower::standby() {
    lastError.clear();
    if (!x.valid()) {
        lastError = x.why;
        return false;
    }
    int event = 0, error = 0;
    if (!DPMSQueryExtension(x.display, &event, &error) || !DPMSCapable(x.display)) {
        lastError = QStringLiteral("the X server has no DPMS extension");
        return false;
    }
    CARD16 level = 0;
    BOOL enabled = False;
    DPMSInfo(x.display, &level, &enabled);
    if (!enabled) {
        // Forcing a level needs DPMS switched on; the user switched it off.
        lastError = QStringLiteral("DPMS is switched off in the X server");
        return false;
    }
    DPMSForceLevel(x.display, DPMSModeStandby);
    XFlush(x.display);
    return true;
}
