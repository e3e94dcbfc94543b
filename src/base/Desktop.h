#pragma once
#include <QString>

// The desktop around the player: file manager, screensaver, monitor power,
// system-wide hotkeys. Every call returns at once.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens folder in the desktop's file manager; false if nothing could start.
    virtual bool openFolder(const QString& folder) = 0;
    virtual void setScreensaverEnabled(bool enabled) = 0;
    virtual void monitorLowPower() = 0;
    // Registers a global hotkey; false when the desktop refuses it.
    virtual bool registerHotkey(int id, int modifiers, int virtualKey) = 0;
    virtual void unregisterHotkey(int id) = 0;
};
