#include "e2e/XSession.h"

#include <QElapsedTimer>
#include <X11/Xlib.h>
#include <cstdlib>

namespace xsession {

bool available() { return !qEnvironmentVariableIsEmpty("DISPLAY"); }

QString xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString waitForWindow(const QString& name, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        const QString ids = xdotool({"search", "--onlyvisible", "--name", name});
        if (!ids.isEmpty()) return ids.split(QLatin1Char('\n')).first();
        QThread::msleep(100);
    }
    return QString();
}

bool waitUntilGone(const QString& name) {
    for (int i = 0; i < 50; ++i) {
        if (xdotool({"search", "--onlyvisible", "--name", name}).isEmpty()) return true;
        QThread::msleep(100);
    }
    return false;
}

QString waitForPopupMenu(qint64 pid, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        const QStringList ids = xdotool({"search", "--onlyvisible", "--pid", QString::number(pid)})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            QProcess p;
            p.start(QStringLiteral("xprop"), {"-id", id, "_NET_WM_WINDOW_TYPE"});
            p.waitForFinished(5000);
            if (p.readAllStandardOutput().contains("_MENU")) return id;
        }
        QThread::msleep(50);
    }
    return QString();
}

bool waitUntilActive(const QString& window, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (xdotool({"getactivewindow"}) == window) return true;
        QThread::msleep(50);
    }
    return false;
}

QRect geometry(const QString& window) {
    // "X=..\nY=..\nWIDTH=..\nHEIGHT=..\n..." with --shell
    const QStringList lines = xdotool({"getwindowgeometry", "--shell", window}).split(QLatin1Char('\n'));
    int x = 0, y = 0, w = 0, h = 0;
    for (const QString& l : lines) {
        const int v = l.section(QLatin1Char('='), 1).toInt();
        if (l.startsWith("X=")) x = v;
        if (l.startsWith("Y=")) y = v;
        if (l.startsWith("WIDTH=")) w = v;
        if (l.startsWith("HEIGHT=")) h = v;
    }
    return QRect(x, y, w, h);
}

QString focusedWindow() { return xdotool({"getwindowfocus", "-f"}); }

void requestClose(const QString& window) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window.toULong();
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
    XCloseDisplay(d);  // sends it
}

Grabber::Grabber(const char* keysymName, int modifiers) {
    mods = ((modifiers & 1) ? Mod1Mask : 0) | ((modifiers & 2) ? ControlMask : 0) | ((modifiers & 4) ? ShiftMask : 0);
    display = XOpenDisplay(nullptr);
    if (!display) return;
    keycode = XKeysymToKeycode(display, XStringToKeysym(keysymName));
    if (keycode == 0) return;
    const unsigned int variants[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};
    for (unsigned int v : variants)
        XGrabKey(display, keycode, mods | v, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    held = true;
}

Grabber::~Grabber() {
    if (display) XCloseDisplay(display);
}

OtherWindow::OtherWindow() {
    process.start(QStringLiteral("xmessage"), {"-name", "kalvo-other", "-title", "Andere Anwendung",
                                               "-geometry", "300x100+600+600", "Andere Anwendung"});
    if (!process.waitForStarted(5000)) return;
    id = waitForWindow(QStringLiteral("Andere Anwendung"));
}

OtherWindow::~OtherWindow() {
    process.kill();
    process.waitForFinished(5000);
}

}  // namespace xsession
