#pragma once
#include <QString>

// The one message box and the system beeps. Implementations block the UI
// thread while a box is shown; callers go through Shell::ShowMessage, which
// suspends the pass meanwhile.
class Messages {
public:
    virtual ~Messages() = default;
    // Box titled "Kalvo2 Meldung" with OK (ask false, returns false) or
    // Yes/No (ask true, returns true only for Yes). Blocks until closed.
    virtual bool showMessage(const QString& text, bool ask) = 0;
    // A notice titled "Kalvo2 Meldung", as every message, with OK that does not block: the call
    // returns at once and the player goes on while it is shown.
    virtual void showNotice(const QString& text) { (void)text; }
    virtual void errorBeep() = 0;     // the system's error sound
    virtual void asteriskBeep() = 0;  // the system's notice sound
};
