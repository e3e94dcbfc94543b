#pragma once

class QWidget;

// Centres window on owner's frame, then shifts it so that it lies on the
// owner's screen as far as it fits: a dialog wider than the space left of a
// small main window near the screen edge must not open half off-screen.
void centreOnOwner(QWidget* window, const QWidget* owner);

// False where the platform does not tell programs where their windows are
// (Wayland): a place read there is no place and must not be stored.
bool windowPlacesKnown();
