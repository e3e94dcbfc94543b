#include "remote/KeyConfig.h"

#include "shell/Kalvo.h"

namespace {
constexpr int kF10 = 121;
const QString kKeyInUse = QStringLiteral("Taste wird schon verwendet!");
const QString kNothingSelected = QStringLiteral("Nichts in Liste ausgewählt!");
}  // namespace

QVector<KeyConfig::Row> KeyConfig::Rows() const {
    QVector<Row> rows;
    for (const KeyBinding& b : k.bindings.KeyBindingList)
        rows.append(Row{b.hotkeyId, KeyCode2Text(b.keyCode), QString::number(b.modifiers), KeyFunctionName(b.function)});
    return rows;
}

void KeyConfig::Open() {
    capturedKey = 0;
    k.bindings.UnregisterHotkeys();
}

void KeyConfig::Close() { k.bindings.RegisterHotkeys(); }

bool KeyConfig::KeyDown(int virtualKey, bool altHeld) {
    if (virtualKey == kF10 || altHeld) {
        k.shell.ShowMessage(
            QStringLiteral("F10 kann nicht verwendet werden, da diese Taste vom System verwendet wird..."));
        return false;
    }
    capturedKey = virtualKey;
    return true;
}

QString KeyConfig::capturedKeyName() const { return KeyCode2Text(capturedKey); }

QString KeyConfig::SystemKeysNotice() const {
    if (k.bindings.SystemWideKeysAvailable()) return {};
    return QStringLiteral("Dieser Desktop bietet keine systemweiten Tasten: Modifier-Tasten wirken nur im "
                          "Player. Als Kürzel des Desktops: kalvo2 --next usw. (siehe Info, kalvo2 --help)");
}

KeyConfig::Selection KeyConfig::Select(int id) {
    Selection s;
    if (id == 0 || k.bindings.FindBindingById(id) == 0 || !k.bindings.current()) return s;
    const KeyBinding& b = *k.bindings.current();
    capturedKey = b.keyCode;
    s.found = true;
    s.modifiers = b.modifiers;
    s.function = b.function;
    s.desktopTrigger = k.bindings.DesktopTrigger(id);
    return s;
}

int KeyConfig::refuse(const QString& text) {
    k.shell.ShowMessage(text);
    return -1;
}

int KeyConfig::indexOf(int id) const {
    const QVector<KeyBinding>& list = k.bindings.KeyBindingList;
    for (int i = 0; i < list.size(); ++i)
        if (list[i].hotkeyId == id) return i;
    return -1;
}

int KeyConfig::Neu(int modifiers, int function) {
    k.bindings.FindBindingByKey(capturedKey);
    if (k.bindings.current()) return refuse(kKeyInUse);
    const int id = k.bindings.NewBindingId();
    k.bindings.KeyBindingList.append(KeyBinding{id, capturedKey, modifiers, function});
    return id;
}

int KeyConfig::Aendern(int selectedId, int modifiers, int function) {
    const int index = selectedId != 0 ? indexOf(selectedId) : -1;
    if (index < 0) return refuse(kNothingSelected);
    for (const KeyBinding& b : k.bindings.KeyBindingList)
        if (b.keyCode == capturedKey && b.hotkeyId != selectedId) return refuse(kKeyInUse);
    KeyBinding& b = k.bindings.KeyBindingList[index];
    b.keyCode = capturedKey;
    b.modifiers = modifiers;
    b.function = function;
    return selectedId;
}

int KeyConfig::Loeschen(int selectedId) {
    const int index = selectedId != 0 ? indexOf(selectedId) : -1;
    if (index < 0) return refuse(kNothingSelected);
    k.bindings.KeyBindingList.removeAt(index);
    return 0;
}

int KeyConfig::Hoch(int selectedId) {
    const int index = selectedId != 0 ? indexOf(selectedId) : -1;
    if (index < 0) return refuse(kNothingSelected);
    if (index > 0) k.bindings.KeyBindingList.swapItemsAt(index, index - 1);
    return selectedId;
}

int KeyConfig::Runter(int selectedId) {
    const int index = selectedId != 0 ? indexOf(selectedId) : -1;
    if (index < 0) return refuse(kNothingSelected);
    if (index + 1 < k.bindings.KeyBindingList.size()) k.bindings.KeyBindingList.swapItemsAt(index, index + 1);
    return selectedId;
}
