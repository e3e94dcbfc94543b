#pragma once
#include <QVector>
#include <cstdint>

class Kalvo;
class PreferenceFile;

// One key binding as stored in the "KeyKonfig" group.
struct KeyBinding {
    int32_t hotkeyId = 0;
    int32_t keyCode = 0;    // Windows virtual-key code
    int32_t modifiers = 0;  // modifier bits
    int32_t function = 0;   // 1..10
};

// The key bindings and their dispatch. UI thread only.
class KeyBindings {
public:
    explicit KeyBindings(Kalvo& k) : k(k) {}
    QVector<KeyBinding> KeyBindingList;

    // Reads/writes the bindings of the selected "KeyKonfig" group.
    void LoadBindings(PreferenceFile& file);
    void SaveBindings(PreferenceFile& file);
    // Runs the function bound to a key code or hotkey id; true when one ran.
    bool DispatchKey(int code, bool isHotkey);
    void RegisterHotkeys();
    void UnregisterHotkeys();

private:
    Kalvo& k;
};
