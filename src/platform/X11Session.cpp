#include "platform/X11Session.h"

#include <QGuiApplication>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

X11Session X11Session::current() {
    X11Session s;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11) {
        const QString platform = QGuiApplication::platformName();
        s.why = QStringLiteral("no X11 display (platform \"%1\")").arg(platform);
        return s;
    }
    s.display = x11->display();
    s.connection = x11->connection();
    if (!s.valid()) {
        s.why = QStringLiteral("no X11 display");
        return s;
    }
    s.root = static_cast<unsigned int>(DefaultRootWindow(s.display));
    return s;
}
