#pragma once
// The X display of an end-to-end test: xdotool for keys, clicks and window
// look-ups, and a client of the test's own that can hold a key combination.
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QThread>

typedef struct _XDisplay Display;

namespace xsession {

// True when an X display is there to test on (tools/run-tests gives one).
bool available();
// Runs xdotool with args; its standard output, trimmed.
QString xdotool(const QStringList& args);
// The first window whose title matches name, waiting up to ten seconds; "" if none.
QString waitForWindow(const QString& name, int timeoutMs = 10000);
// True when no window title matches name any more, waiting up to five seconds.
bool waitUntilGone(const QString& name);
// The popup menu a process has open (a visible window of its own whose
// type is a menu), waiting up to timeoutMs; "" if none. Keys sent before it
// is up go to the window below it.
QString waitForPopupMenu(qint64 pid, int timeoutMs = 5000);
// True once window is the window manager's active window, waiting up to
// timeoutMs: keys typed before then reach another window.
bool waitUntilActive(const QString& window, int timeoutMs = 5000);
// Position and size of a window.
QRect geometry(const QString& window);
// The window that has the keyboard focus.
QString focusedWindow();
// Asks a window to close, as a window manager does when its close button is
// clicked (WM_DELETE_WINDOW); the test's X server runs no window manager.
void requestClose(const QString& window);

// Another X client that holds a key combination as a passive grab.
class Grabber {
public:
    // keysym name like "n"; modifiers as a binding's bits (1 ALT, 2 CTRL, 4 SHIFT).
    Grabber(const char* keysymName, int modifiers);
    ~Grabber();
    bool holds() const { return held; }

private:
    Display* display = nullptr;
    int keycode = 0;
    unsigned int mods = 0;
    bool held = false;
};

// A window of another client that takes the focus (xmessage).
class OtherWindow {
public:
    OtherWindow();
    ~OtherWindow();
    QString id;  // "" when it did not appear

private:
    QProcess process;
};

}  // namespace xsession
