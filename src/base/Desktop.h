#pragma once
#include <QString>

// The desktop around the player: file manager, screensaver, monitor power,
// system-wide hotkeys. Every call returns at once.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens folder in the desktop's file manager; false if nothing could start.
    virtual bool openFolder(const QString& folder) = 0;
    // Lets the screensaver start again (true) or keeps it away (false); the
    // second switch-off in a row changes nothing. False when no way the
    // session offers took the switch (lastError() says why).
    virtual bool setScreensaverEnabled(bool enabled) = 0;
    // Puts the monitor into low power (standby); false when the session
    // cannot (lastError() says why).
    virtual bool monitorLowPower() = 0;
    // Registers a global hotkey; false when the desktop refuses it.
    virtual bool registerHotkey(int id, int modifiers, int virtualKey) = 0;
    virtual void unregisterHotkey(int id) = 0;
    // False when the session has no system-wide hotkeys at all (no X11).
    virtual bool hotkeysAvailable() const { return true; }
    // The system's words for the last failure of a call above.
    virtual QString lastError() const { return QString(); }
};
