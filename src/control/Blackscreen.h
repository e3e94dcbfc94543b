#pragma once
#include <cstdint>

class Kalvo;

// The black full-screen window, the screensaver and monitor power while
// music plays with "BS" on. The window, the screensaver switch and the
// monitor command are reached through the Windows and Desktop seams.
// UI thread only.
class Blackscreen {
public:
    explicit Blackscreen(Kalvo& k) : k(k) {}

    // The "BS" box changed: takes its state; switched on, makes sure a key
    // leaves the black screen (adding Esc, Space or Q for it, and the arrow
    // keys when there were no bindings at all) and says so in one message.
    void EnableBlackscreen();
    // A list song started with "BS" on: opens the black window unless it is
    // open and keeps the screensaver away; a window that cannot open gives
    // a log line and leaves the screensaver alone.
    void OpenBlackWin();
    void OpenBlackscreen() { OpenBlackWin(); }
    // Stops the music, closes the black window, lets the screensaver return.
    void LeaveBlackscreen();
    // Screensaver on (flag 1) or off (flag 0); a failure is one log line.
    // Switching it off twice takes one inhibition only.
    void SetScreenSaver(int flag);
    // Run by every pass with the raw message of its event (0 after a
    // timeout): GBlackScrMonOff seconds after the last key or mouse input,
    // while "BS" is on and a song is loaded, the monitor goes to low power.
    void CheckMonitorPower(int rawMessage);

    uint32_t lastInputTime = 0;  // tick ms of the last input; 0 = none pending

private:
    Kalvo& k;
    bool screensaverOff = false;
    bool monitorFailureLogged = false;
};
