#pragma once
#include <QHash>
#include <QVector>
#include <cstdint>

#include "control/KeyNames.h"

class Kalvo;
class PreferenceFile;

// One key binding as stored in the "KeyKonfig" group.
struct KeyBinding {
    int32_t hotkeyId = 0;   // the binding's id; also its system hotkey id
    int32_t keyCode = 0;    // Windows virtual-key code
    int32_t modifiers = 0;  // KeyModifier bits; 0 = plain key, no hotkey
    int32_t function = 0;   // KeyFunction; 0 = none chosen
};

// The key bindings, their look-ups, their dispatch and their registration
// as system-wide hotkeys. UI thread only.
class KeyBindings {
public:
    explicit KeyBindings(Kalvo& k) : k(k) {}
    QVector<KeyBinding> KeyBindingList;

    // Reads/writes the bindings of the selected "KeyKonfig" group.
    void LoadBindings(PreferenceFile& file);
    void SaveBindings(PreferenceFile& file);

    // The id of the first binding with keyCode, or 0; makes it current.
    int FindBindingByKey(int keyCode);
    // id when a binding has it, else 0 (makes it current); -1 gives NewBindingId().
    int FindBindingById(int id);
    // The smallest id >= 1 that no binding uses.
    int NewBindingId() const;
    // The binding the last successful look-up found (null after a miss).
    KeyBinding* current();

    // Runs the function of the first binding with the key code (a key-down
    // of the main or black window) or of the binding the hotkey id names.
    // A held key repeats its function, except deleting a song: only a fresh
    // press deletes. True when a function ran (the pass counts it as activity).
    bool DispatchKey(int code, bool isHotkey, bool autoRepeat = false);
    // Runs key function n; false for numbers outside the table.
    bool RunFunction(int function);
    // True when a key-down of code in the main or black window runs a
    // function: the window then takes the key away from its focused control.
    bool BindsKey(int code) const;
    // True when a binding names exactly this key with these modifiers
    // (KeyModifier bits, at least one) and a function: such a combination
    // belongs to the binding even where a menu letter of the window has it.
    bool BindsCombination(int code, int modifiers) const;

    // Registers every binding with modifiers as a system-wide hotkey under its
    // id, withdrawing first the grabs of bindings that were deleted or whose
    // key or modifiers changed. A refused grab gives a log line and a message
    // box per binding. Where the session offers no system hotkeys, one log
    // line for the whole run.
    void RegisterHotkeys();
    // Withdraws every grab the player holds (the configuration window is open).
    void UnregisterHotkeys();

private:
    struct Grab { int keyCode; int modifiers; };
    Kalvo& k;
    int currentIndex = -1;
    QHash<int, Grab> grabs;  // what is registered now, by id
    bool unavailableLogged = false;
};
