#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/MonitorPower.h"
#include "platform/ScreenSaverInhibitor.h"
#include "platform/X11Hotkeys.h"

QtDesktop::QtDesktop()
    : hotkeys(std::make_unique<X11Hotkeys>()),
      screensaver(std::make_unique<ScreenSaverInhibitor>()),
      monitor(std::make_unique<MonitorPower>()) {}

QtDesktop::~QtDesktop() = default;

void QtDesktop::setHotkeySink(std::function<void(int, bool)> sink) { hotkeys->setSink(std::move(sink)); }

bool QtDesktop::openFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtDesktop::setScreensaverEnabled(bool enabled) {
    const bool ok = screensaver->setEnabled(enabled);
    error = screensaver->error();
    return ok;
}

bool QtDesktop::monitorLowPower() {
    const bool ok = monitor->standby();
    error = monitor->error();
    return ok;
}

bool QtDesktop::registerHotkey(int id, int modifiers, int virtualKey) {
    const bool ok = hotkeys->grab(id, modifiers, virtualKey);
    error = hotkeys->error();
    return ok;
}

void QtDesktop::unregisterHotkey(int id) { hotkeys->ungrab(id); }

bool QtDesktop::hotkeysAvailable() const { return hotkeys->available(); }

QString QtDesktop::lastError() const {
    if (error.isEmpty() && !hotkeys->available()) return hotkeys->unavailableReason();
    return error;
}
