#pragma once

// The X11 keysym of a Windows virtual-key code (as the bindings store them),
// 0 when there is none. Pure function, any thread.
unsigned long keysymFromVirtualKey(int virtualKey);
