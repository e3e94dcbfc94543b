#pragma once
#include "base/Messages.h"

// The message box "Kalvo2 Meldung" on Qt: a plain box without icon. While it
// is shown every other visible window of the program is disabled and windows
// that stay on top are lowered into the normal layer, so the box is seen and
// answered first. UI thread only; blocks until the box is closed.
class QtMessages : public Messages {
public:
    bool showMessage(const QString& text, bool ask) override;
    void errorBeep() override;
    void asteriskBeep() override;
};
