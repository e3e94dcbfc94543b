#pragma once
#include <QString>

// The X11 keysym of a Windows virtual-key code (as the bindings store them),
// 0 when there is none. The keys of a German keyboard beside the letters give
// their unshifted keysyms (udiaeresis, numbersign, dead_circumflex, ...).
// Pure function, any thread.
unsigned long keysymFromVirtualKey(int virtualKey);

// The xkb key code (evdev + 8) of the key that carries a virtual-key code of
// the German keys on a German keyboard, 0 for the other codes. A layout that
// has no key with the keysym above still has that key. Pure function.
unsigned int germanKeycodeOfVirtualKey(int virtualKey);

// A trigger in the form of the freedesktop shortcuts: CTRL, ALT, SHIFT, then
// the xkb keysym name of the key, joined by "+" ("CTRL+ALT+n",
// "ALT+Page_Down", "CTRL+ALT+udiaeresis"). layoutKeysym, when not 0, is what
// the keyboard layout in use has on the key. Empty when the key has no name.
// Pure function, any thread.
QString shortcutTrigger(int modifiers, int virtualKey, unsigned long layoutKeysym = 0);
