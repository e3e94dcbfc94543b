#pragma once
#include <QString>
#include <climits>

class QWidget;
class QFont;

// Layout anchoring: every window is held at no less than its designed inner
// size (or the lower height the screen left it, see AllowLowerWindow), and
// chosen controls follow the window's edges when it grows.
// Changes are always measured from the designed layout, so repeated resizing
// never accumulates errors. UI thread only.

// Marks a value of an anchor record that does not follow the window.
constexpr int AnchorIgnore = INT_MIN;

struct AnchorValues {
    int left = AnchorIgnore;
    int top = AnchorIgnore;
    int width = AnchorIgnore;
    int height = AnchorIgnore;
    bool operator==(const AnchorValues&) const = default;
};

// The record of a control: letters "L" (left edge follows: moves right),
// "O" (top: moves down), "R" (right: grows wider), "U" (bottom: grows taller),
// found anywhere in letters; the values of the edges not named are ignored.
AnchorValues anchorRecord(const QString& letters, int x, int y, int width, int height);

// What a resize has to do, from the designed and the current inner size.
struct ResizePlan {
    bool disable = false;   // made more than 5 px smaller: disable while correcting
    bool fixWidth = false;  // narrower than designed: set the designed width back
    bool fixHeight = false; // lower than allowed: set the lowest height allowed back
    int dw = 0;             // width change to apply to the anchored controls (>= 0)
    int dh = 0;             // height change (below 0 only for a window allowed lower than designed)
};
// lowestHeight: how low the window may be where that is less than designed.
ResizePlan planResize(int designedWidth, int designedHeight, int innerWidth, int innerHeight,
                      int lowestHeight = INT_MAX);

// A control record moved by the changes; ignored values stay ignored.
AnchorValues anchoredGeometry(const AnchorValues& record, int dw, int dh);

// value * layoutScale taken to the nearest integer.
int scaled(int value, float layoutScale);

// The font every window lays its captions in: small enough that each German
// caption fits its designed control.
QFont layoutFont();

// Stores or replaces the window's own record. window is the widget whose
// size is the inner area (for a main window: its central widget). Installs
// the watcher that runs ResizeLayout on each of its size changes.
void RegisterWindowLayout(QWidget* window, int x, int y, int width, int height);
// Stores or replaces the control's record; empty letters register nothing.
void AnchorControl(const QString& letters, QWidget* window, QWidget* control, int x, int y, int width,
                   int height);
// Applies the anchoring after a size change of window; nothing when the
// window has no record or no longer exists.
void ResizeLayout(QWidget* window);
// Lets window be as low as height, less than its designed height, because
// the screen leaves no more room: its anchored controls follow the bottom
// edge up. Not lower than that: a smaller height is set back to it.
void AllowLowerWindow(QWidget* window, int height);
// Number of records held for window (its own record included); for tests.
int anchorRecordCount(QWidget* window);
