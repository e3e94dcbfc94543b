#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <QDBusConnection>
#include <QGuiApplication>

#include "remote/platform/DesktopPortal.h"
#include "platform/MonitorPower.h"
#include "platform/ScreenSaverInhibitor.h"
#include "remote/platform/X11Hotkeys.h"
#include "remote/platform/X11Keysyms.h"

QtDesktop::QtDesktop()
    : hotkeys(std::make_unique<X11Hotkeys>()),
      screensaver(std::make_unique<ScreenSaverInhibitor>()),
      monitor(std::make_unique<MonitorPower>()),
      portal(std::make_unique<DesktopPortal>(QDBusConnection::sessionBus(), QGuiApplication::desktopFileName())),
      folderOpeners(std::make_unique<QObject>()) {}

QtDesktop::~QtDesktop() {
    // An opener still running at exit reports to nobody.
    for (QObject* opener : folderOpeners->children()) opener->disconnect();
}

void QtDesktop::setHotkeySink(std::function<void(int, bool)> sink) { hotkeys->setSink(std::move(sink)); }

namespace {
// What xdg-open's exit code means (xdg-utils: 1 syntax, 2 no such file,
// 3 no program found for it, 4 the program failed).
QString openerFailure(int code) {
    switch (code) {
    case 2: return QStringLiteral("xdg-open: Ordner nicht gefunden");
    case 3: return QStringLiteral("xdg-open: kein Programm für Ordner gefunden");
    case 4: return QStringLiteral("xdg-open: das Programm für Ordner ist gescheitert");
    default: return QStringLiteral("xdg-open endete mit %1").arg(code);
    }
}
}  // namespace

bool QtDesktop::openFolder(const QString& folder, std::function<void(const QString&)> failedLater) {
    error.clear();
    if (folder.isEmpty()) {
        error = QStringLiteral("kein Ordner angegeben");
        return false;
    }
    // xdg-open says whether it found a program; Qt's own launcher only says
    // whether it could start one.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) return true;
        error = QStringLiteral("kein Dateimanager gefunden (xdg-open ist nicht installiert)");
        return false;
    }
    auto* process = new QProcess(folderOpeners.get());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(process, &QProcess::finished, process,
                     [process, failedLater](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && code == 0) return;
                         if (failedLater)
                             failedLater(status == QProcess::NormalExit ? openerFailure(code)
                                                                        : QStringLiteral("xdg-open ist abgestürzt"));
                     });
    process->start(opener, {folder});
    if (!process->waitForStarted(5000)) {
        error = QStringLiteral("xdg-open startet nicht: ") + process->errorString();
        process->disconnect();
        delete process;
        return false;
    }
    return true;
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
