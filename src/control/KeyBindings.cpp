#include "control/KeyBindings.h"

#include "shell/Kalvo.h"
#include "base/PreferenceFile.h"

// The keys of the selected group whose names begin with "KeyCode" (this
// case only), in file order; the list is replaced by what was read.
void KeyBindings::LoadBindings(PreferenceFile& file) {
    KeyBindingList.clear();
    if (!file.examineKeys()) return;
    while (file.nextKey()) {
        if (!file.keyName().startsWith(QLatin1String("KeyCode"), Qt::CaseSensitive)) continue;
        const QStringList parts = file.keyValue().split(QLatin1Char('|'));
        auto field = [&parts](int i) { return i < parts.size() ? readAtoi(parts[i]) : 0; };
        KeyBinding b;
        b.hotkeyId = field(0);
        b.keyCode = field(1);
        b.modifiers = field(2);
        b.function = field(3);
        KeyBindingList.append(b);
    }
}

void KeyBindings::SaveBindings(PreferenceFile& file) {
    file.writeComment(QString());
    for (int i = 0; i < KeyBindingList.size(); ++i) {
        const KeyBinding& b = KeyBindingList[i];
        file.writeString(QStringLiteral("KeyCode%1").arg(i),
                         QStringLiteral("%1|%2|%3|%4").arg(b.hotkeyId).arg(b.keyCode).arg(b.modifiers).arg(b.function));
    }
}
// Key dispatch and hotkeys come with the remote-control work.
bool KeyBindings::DispatchKey(int, bool) { return false; }
void KeyBindings::RegisterHotkeys() {}
void KeyBindings::UnregisterHotkeys() {}
