#pragma once
#include <functional>
#include <memory>
#include <QObject>

#include "base/Desktop.h"

class X11Hotkeys;
class ScreenSaverInhibitor;
class MonitorPower;
class DesktopPortal;

// The desktop on Linux: folders open in the desktop's file manager; desktop
// shortcuts, the inhibitions of idle and suspend through the desktop portal;
// hotkeys, screensaver and monitor power through X11 (when Qt runs on xcb)
// and the session bus. Without X11 (Wayland, offscreen) X11 hotkeys are
// unavailable and monitor power fails with the reason; the player works
// regardless. Build it after the QApplication. Every call returns at once.
// UI thread only.
class QtDesktop : public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;
    // Where a hotkey press goes: its id and whether it is an auto-repeat.
    void setHotkeySink(std::function<void(int id, bool autoRepeat)> sink);
    // Where a desktop shortcut goes: its id and whether it is a repeat.
    void setShortcutSink(std::function<void(const QString& id, bool repeat)> sink);
    // Where the log lines of the desktop portal go.
    void setLogger(std::function<void(const QString&)> logger);

    bool openFolder(const QString& folder, std::function<void(const QString&)> failedLater) override;
    bool setScreensaverEnabled(bool enabled) override;
    bool monitorLowPower() override;
    bool registerHotkey(int id, int modifiers, int virtualKey) override;
    void unregisterHotkey(int id) override;
    bool hotkeysAvailable() const override;
    QString lastError() const override;
    void probeShortcuts(std::function<void(bool offered, const QString& how)> done) override;
    void bindShortcuts(const QVector<DesktopShortcut>& shortcuts,
                       std::function<void(const DesktopShortcutAnswer&)> done) override;
    void holdOffSuspend(bool hold) override;

private:
    std::unique_ptr<X11Hotkeys> hotkeys;
    std::unique_ptr<ScreenSaverInhibitor> screensaver;
    std::unique_ptr<MonitorPower> monitor;
    std::unique_ptr<DesktopPortal> portal;
    // The running xdg-open processes; they only report, never outlive this.
    std::unique_ptr<QObject> folderOpeners;
    QString error;
    bool suspendHeld = false;
};
