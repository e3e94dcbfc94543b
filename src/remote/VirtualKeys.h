#pragma once
#include <QtCore/qnamespace.h>

// Key codes as the bindings store them: Windows virtual-key codes, so that a
// Kalvo2.ini written on Windows keeps working. Pure functions, any thread.

// The virtual-key code of a Qt key event (its key() and modifiers()); the
// keypad modifier selects the keypad codes. Shifted digits and symbols of the
// German layout are mapped back to the key that carries them. 0 when the key
// has no virtual-key code.
int virtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The Qt key that produces a virtual-key code without modifiers (keypad codes
// give the keypad's Qt key; check virtualKeyIsKeypad). 0 when there is none.
int qtKeyFromVirtualKey(int virtualKey);
// True for the keypad codes (VK_NUMPAD0..VK_DIVIDE).
bool virtualKeyIsKeypad(int virtualKey);

// The virtual-key code of the key at an X11/xkb key code (the evdev code + 8,
// as Qt reports it for native scan codes on X11 and Wayland) for the letter
// and digit keys, by their place on a US keyboard: a layout whose letters
// have no Latin name still gives the codes Windows gives. 0 for other keys.
int virtualKeyFromScanCode(unsigned int xkbKeycode);
