#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

#include <QDBusConnection>
#include <QGuiApplication>

#include "platform/DesktopPortal.h"
#include "platform/MonitorPower.h"
#include "platform/ScreenSaverInhibitor.h"
#include "platform/X11Hotkeys.h"
#include "platform/X11Keysyms.h"

QtDesktop::QtDesktop()
    : hotkeys(std::make_unique<X11Hotkeys>()),
      screensaver(std::make_unique<ScreenSaverInhibitor>()),
      monitor(std::make_unique<MonitorPower>()),
      portal(std::make_unique<DesktopPortal>(QDBusConnection::sessionBus(), QGuiApplication::desktopFileName())) {}

QtDesktop::~QtDesktop() = default;

void QtDesktop::setHotkeySink(std::function<void(int, bool)> sink) { hotkeys->setSink(std::move(sink)); }

bool QtDesktop::openFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void QtDesktop::setShortcutSink(std::function<void(const QString&, bool)> sink) {
    portal->setActivationSink(std::move(sink));
}

void QtDesktop::setLogger(std::function<void(const QString&)> logger) {
    screensaver->logger = logger;
    portal->logger = std::move(logger);
}

bool QtDesktop::setScreensaverEnabled(bool enabled) {
    // Wayland desktops honour only the portal's idle inhibition: where there
    // is no X11 screensaver and no screensaver service, it alone holds.
    portal->inhibit(DesktopPortal::InhibitIdle, !enabled, QStringLiteral("Kalvo2 Blackscreen"));
    const bool ok = screensaver->setEnabled(enabled);
    error = screensaver->error();
    return ok || (!enabled && portal->inhibiting(DesktopPortal::InhibitIdle));
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

void QtDesktop::probeShortcuts(std::function<void(bool, const QString&)> done) { portal->probeShortcuts(std::move(done)); }

void QtDesktop::bindShortcuts(const QVector<DesktopShortcut>& shortcuts,
                              std::function<void(const DesktopShortcutAnswer&)> done) {
    X11Hotkeys* keys = hotkeys.get();
    portal->bindShortcuts(
        shortcuts,
        [keys](const DesktopShortcut& s) {
            return shortcutTrigger(s.modifiers, s.virtualKey, keys->layoutKeysym(s.virtualKey));
        },
        std::move(done));
}

void QtDesktop::holdOffSuspend(bool hold) {
    if (hold == suspendHeld) return;
    suspendHeld = hold;
    portal->inhibit(DesktopPortal::InhibitSuspend, hold, QStringLiteral("Kalvo2 spielt Musik"));
}
