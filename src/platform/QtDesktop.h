#pragma once
#include <functional>
#include <memory>

#include "base/Desktop.h"

class X11Hotkeys;
class ScreenSaverInhibitor;
class MonitorPower;

// The desktop on Linux: folders open in the desktop's file manager; hotkeys,
// screensaver and monitor power through X11 (when Qt runs on xcb) and the
// session bus. Without X11 (Wayland, offscreen) hotkeys are unavailable and
// monitor power fails with the reason; the player works regardless. Build it
// after the QApplication. Every call returns at once. UI thread only.
class QtDesktop : public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;
    // Where a hotkey press goes: its id and whether it is an auto-repeat.
    void setHotkeySink(std::function<void(int id, bool autoRepeat)> sink);

    bool openFolder(const QString& folder) override;
    bool setScreensaverEnabled(bool enabled) override;
    bool monitorLowPower() override;
    bool registerHotkey(int id, int modifiers, int virtualKey) override;
    void unregisterHotkey(int id) override;
    bool hotkeysAvailable() const override;
    QString lastError() const override;

private:
    std::unique_ptr<X11Hotkeys> hotkeys;
    std::unique_ptr<ScreenSaverInhibitor> screensaver;
    std::unique_ptr<MonitorPower> monitor;
    QString error;
};
