#pragma once
#include <QPointer>
#include <QWidget>

#include "base/Messages.h"

class QMessageBox;

// Makes a box at least as wide as a window manager's title bar needs for the
// box's title whole beside its buttons, so a short text does not leave a
// title like "Kalvo2... ldung".
void widenForTitle(QMessageBox& box);

// The message box "Kalvo2 Meldung" on Qt: a plain box without icon. While it
// is shown every other visible window of the program is disabled and windows
// that stay on top are lowered into the normal layer, so the box is seen and
// answered first. UI thread only; blocks until the box is closed.
// The box belongs to the program's active window, else to the main window
// (on Wayland the program may have no active window while the user works
// elsewhere), so the compositor places it by its owner.
class QtMessages : public Messages {
public:
    bool showMessage(const QString& text, bool ask) override;
    // Disables nothing and holds nothing: the box closes itself on OK.
    void showNotice(const QString& text) override;
    void setMainWindow(QWidget* window) { mainWindow = window; }
    void errorBeep() override;
    void asteriskBeep() override;

private:
    QPointer<QWidget> mainWindow;
};
