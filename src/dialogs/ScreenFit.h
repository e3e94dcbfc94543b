#pragma once
#include <QRect>
#include <functional>

class QWidget;

// frame moved into area; where it is wider or taller than area, cut down to
// it. Left and top win over right and bottom: the title bar stays reachable.
QRect fitFrameInto(const QRect& frame, const QRect& area);

// frame cut at area's bottom by taking height off it, its top where it is.
// It keeps at least minHeight (or its own height where that is less); a
// frame that would have to be shorter keeps that height and moves up until
// its bottom edge is on area, its top never above area's.
QRect fitHeightInto(const QRect& frame, const QRect& area, int minHeight);

// Keeps a top-level window's frame at the top left place() tells once the
// window manager has framed it (a window manager may push a window that reaches past the
// screen up over its owner), with its height cut as fitHeightInto does
// (minHeight is the inner one), for the one show that follows. cut learns
// each inner height before it is set.
void keepBottomOnScreen(QWidget* window, std::function<QPoint()> place, int minHeight,
                        std::function<void(int)> cut = {});

// Keeps the whole of a top-level window, title bar and border included, on
// its screen's free area each time it is shown. A window manager adds its
// frame only after the window is shown, so the window is checked again when
// that frame is known, then left to the user until it is shown anew.
void keepWholeOnScreen(QWidget* window);
