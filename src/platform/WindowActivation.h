#pragma once

#include <QByteArray>

class QWidget;

// Shows window (also from minimized), raises it and gives it the focus, as a
// request from elsewhere on the desktop (a second start, MPRIS Raise). On X11
// the request goes to the window manager as a user's request
// (_NET_ACTIVE_WINDOW from a pager), or without one straight to the server
// with the current time, because Qt's own request carries the time of the
// last event the player saw and loses against any later focus change.
// On Wayland only a token of the compositor's xdg-activation (one that a
// launch or a click made, passed on by the asker) lets the window come to
// the front; without one the compositor may only mark it as wanting
// attention. UI thread; returns at once.
void showAndActivate(QWidget* window, const QByteArray& activationToken = {});
// False where a request without a token cannot bring a window to the front
// (Wayland): MPRIS Raise carries none.
bool canActivateUnasked();
