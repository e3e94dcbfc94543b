#include "platform/WindowActivation.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
// True when a window manager that follows the desktop conventions runs.
bool windowManagerRuns(Display* dpy) {
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    const int rc = XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &format,
                                      &count, &rest, &data);
    const bool found = rc == Success && type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

void activateOnX11(Display* dpy, Window window) {
    if (windowManagerRuns(dpy)) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2;  // source: a pager, i.e. the user asked for it
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
        XRaiseWindow(dpy, window);
        XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    }
    XFlush(dpy);
}
}  // namespace

bool canActivateUnasked() { return QGuiApplication::platformName() != QLatin1String("wayland"); }

void showAndActivate(QWidget* window, const QByteArray& activationToken) {
    if (!window) return;
    // Qt's Wayland window hands the token in XDG_ACTIVATION_TOKEN to the
    // compositor's xdg-activation with its next activation request.
    if (!activationToken.isEmpty() && QGuiApplication::platformName() == QLatin1String("wayland"))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (Display* dpy = x11->display()) activateOnX11(dpy, Window(window->winId()));
    }
}
