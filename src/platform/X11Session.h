#pragma once
#include <QString>

typedef struct _XDisplay Display;
struct xcb_connection_t;

// The X11 connection Qt itself uses, when the player runs on the xcb
// platform (an X11 session, or XWayland with QT_QPA_PLATFORM=xcb). On any
// other platform (Wayland, offscreen) there is none. UI thread only.
struct X11Session {
    Display* display = nullptr;
    xcb_connection_t* connection = nullptr;
    unsigned int root = 0;
    bool valid() const { return display && connection; }
    // Why there is no session, in words for the log.
    QString why;

    static X11Session current();
};
