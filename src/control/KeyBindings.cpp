#include "control/KeyBindings.h"

#include "shell/Kalvo.h"
#include "shell/PreferenceFile.h"

void KeyBindings::LoadBindings(PreferenceFile&) {}
void KeyBindings::SaveBindings(PreferenceFile&) {}
// Key dispatch and hotkeys come with the remote-control work.
bool KeyBindings::DispatchKey(int, bool) { return false; }
void KeyBindings::RegisterHotkeys() {}
void KeyBindings::UnregisterHotkeys() {}
