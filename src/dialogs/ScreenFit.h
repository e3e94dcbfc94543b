#pragma once
#include <QRect>

class QWidget;

// frame moved into area; where it is wider or taller than area, cut down to
// it. Left and top win over right and bottom: the title bar stays reachable.
QRect fitFrameInto(const QRect& frame, const QRect& area);

// Keeps the whole of a top-level window, title bar and border included, on
// its screen's free area each time it is shown. A window manager adds its
// frame only after the window is shown, so the window is checked again when
// that frame is known, then left to the user until it is shown anew.
void keepWholeOnScreen(QWidget* window);
