#pragma once
#include "base/Desktop.h"

// The desktop on Qt: folders open in the desktop's file manager. Screensaver,
// monitor power and global hotkeys are not offered here: they do nothing and
// registering a hotkey is refused. Every call returns at once.
class QtDesktop : public Desktop {
public:
    bool openFolder(const QString& folder) override;
    void setScreensaverEnabled(bool) override {}
    void monitorLowPower() override {}
    bool registerHotkey(int, int, int) override { return false; }
    void unregisterHotkey(int) override {}
};
