#include "remote/KeyBindings.h"

#include "base/Messages.h"

#include "base/Desktop.h"
#include "base/PreferenceFile.h"
#include "shell/Kalvo.h"

#include <utility>

// The keys of the selected group whose names begin with "KeyCode" (this
// case only), in file order; the list is replaced by what was read.
void KeyBindings::LoadBindings(PreferenceFile& file) {
    KeyBindingList.clear();
    currentIndex = -1;
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

int KeyBindings::FindBindingByKey(int keyCode) {
    currentIndex = -1;
    for (int i = 0; i < KeyBindingList.size(); ++i) {
        if (KeyBindingList[i].keyCode == keyCode) {
            currentIndex = i;
            return KeyBindingList[i].hotkeyId;
        }
    }
    return 0;
}

int KeyBindings::FindBindingById(int id) {
    if (id == -1) return NewBindingId();
    currentIndex = -1;
    for (int i = 0; i < KeyBindingList.size(); ++i) {
        if (KeyBindingList[i].hotkeyId == id) {
            currentIndex = i;
            return id;
        }
    }
    return 0;
}

int KeyBindings::NewBindingId() const {
    for (int id = 1;; ++id) {
        bool used = false;
        for (const KeyBinding& b : KeyBindingList) used = used || b.hotkeyId == id;
        if (!used) return id;
    }
}

KeyBinding* KeyBindings::current() {
    return (currentIndex >= 0 && currentIndex < KeyBindingList.size()) ? &KeyBindingList[currentIndex] : nullptr;
}

bool KeyBindings::DispatchKey(int code, bool isHotkey, bool autoRepeat) {
    int keyCode = code;
    if (isHotkey) {
        // A hotkey whose binding is gone (deleted while its grab was still
        // held) does nothing.
        if (code <= 0 || withdrawn || FindBindingById(code) == 0) return false;
        keyCode = current()->keyCode;
    }
    FindBindingByKey(keyCode);
    if (!current()) return false;
    const int function = current()->function;
    // Held down, the delete key would throw away song after song, and the
    // undo key would bring back delete after delete.
    if (autoRepeat && (function == FnDeleteSong || function == FnUndoDelete)) return false;
    return RunFunction(function);
}

bool KeyBindings::RunFunction(int function) {
    switch (function) {
    case FnNextSong: k.playback.MusNext(); return true;
    case FnPrevSong: k.playback.MusPrev(); return true;
    case FnJumpForward: k.playback.VorwaertsSpringen(); return true;
    case FnJumpBack: k.playback.ZurueckSpringen(); return true;
    case FnDeleteSong: k.actions.DeleteCurrentSong(true); return true;
    case FnStopLeaveBlackscreen: k.blackscreen.LeaveBlackscreen(); return true;
    case FnVolumeUp10: k.playback.Lautstaerke(10); return true;
    case FnVolumeDown10: k.playback.Lautstaerke(-10); return true;
    case FnVolumeUp3: k.playback.Lautstaerke(3); return true;
    case FnVolumeDown3: k.playback.Lautstaerke(-3); return true;
    case FnUndoDelete: k.actions.UndoLastDelete(); return true;
    default: return false;
    }
}

bool KeyBindings::BindsKey(int code) const {
    for (const KeyBinding& b : KeyBindingList)
        if (b.keyCode == code) return b.function >= 1 && b.function <= KeyFunctionNames().size();
    return false;
}

QString KeyBindings::ShortcutId(int hotkeyId) { return QStringLiteral("hotkey-%1").arg(hotkeyId); }

int KeyBindings::HotkeyIdOfShortcut(const QString& shortcutId) {
    if (!shortcutId.startsWith(QLatin1String("hotkey-"))) return 0;
    bool ok = false;
    const int id = shortcutId.mid(7).toInt(&ok);
    return ok && id > 0 ? id : 0;
}

QVector<DesktopShortcut> KeyBindings::WantedShortcuts() const {
    QVector<DesktopShortcut> out;
    QVector<int> ids;
    for (const KeyBinding& b : KeyBindingList) {
        if (b.modifiers <= 0 || b.hotkeyId <= 0 || ids.contains(b.hotkeyId)) continue;
        ids << b.hotkeyId;
        QString description = KeyFunctionName(b.function);
        if (description.isEmpty()) description = QStringLiteral("Kalvo2 ") + KeyCode2Text(b.keyCode);
        out.append(DesktopShortcut{ShortcutId(b.hotkeyId), description, b.modifiers, b.keyCode});
    }
    return out;
}

bool KeyBindings::BindsCombination(int code, int modifiers) const {
    if (modifiers <= 0) return false;
    for (const KeyBinding& b : KeyBindingList)
        if (b.keyCode == code && b.modifiers == modifiers && b.function >= 1 && b.function <= KeyFunctionNames().size())
            return true;
    return false;
}

void KeyBindings::RegisterHotkeys() {
    withdrawn = false;
    switch (road) {
    case Road::Unknown:
        startRoad();
        break;
    case Road::Probing:  // the answer registers them
        break;
    case Road::Desktop:
        logChoice();
        bindShortcuts();
        break;
    case Road::X11:
        logChoice();
        registerGrabs();
        break;
    }
}

bool KeyBindings::SystemWideKeysAvailable() const {
    return HotkeyReach() != Reach::None;
}

void KeyBindings::startRoad() {
    road = Road::Probing;
    std::weak_ptr<KeyBindings*> alive = self;
    k.s.desktop.probeShortcuts([alive](bool offered, const QString& how) {
        if (auto me = alive.lock()) (*me)->probeResult = std::make_pair(offered, how);
    });
    // A desktop that knows at once takes the bindings at once.
    if (probeResult) HotkeyStep();
}

void KeyBindings::logChoice() {
    bool wanted = false;
    for (const KeyBinding& b : KeyBindingList) wanted = wanted || b.modifiers > 0;
    if (!wanted || choiceLogged) return;
    choiceLogged = true;
    if (road == Road::Desktop) {
        k.shell.LogLine(QStringLiteral("RegisterHotkeys: system-wide hotkeys through the desktop's shortcuts (") +
                        roadReason + QLatin1Char(')'));
    } else if (k.s.desktop.hotkeysAvailable()) {
        k.shell.LogLine(QStringLiteral("RegisterHotkeys: system-wide hotkeys through X11 key grabs (desktop shortcuts: ") +
                        roadReason + QLatin1Char(')'));
    } else {
        sayUnavailable(k.s.desktop.lastError() + QStringLiteral(" (desktop shortcuts: ") + roadReason + QLatin1Char(')'),
                       QStringLiteral("Systemweite Tastenkürzel sind auf diesem Desktop nicht verfügbar: Tasten mit "
                                      "Modifier wirken nur, solange ein Fenster von Kalvo2 den Fokus hat."));
    }
}

void KeyBindings::HotkeyStep() {
    if (probeResult) {
        const auto [offered, how] = *probeResult;
        probeResult.reset();
        road = offered ? Road::Desktop : Road::X11;
        roadReason = how;
        // The configuration window may be open by now: it registers on close.
        if (!withdrawn) RegisterHotkeys();
    }
    const auto pending = std::exchange(answers, {});
    for (const auto& [generation, answer] : pending)
        if (generation == bindGeneration) reportAnswer(answer);
}

void KeyBindings::bindShortcuts() {
    const QVector<DesktopShortcut> wanted = WantedShortcuts();
    if (boundSet ? *boundSet == wanted : wanted.isEmpty()) {
        // Unchanged: the grabs standing in for left-out shortcuts come back
        // (the configuration window gave them away).
        if (!fallbackIds.isEmpty()) registerGrabs(&fallbackIds);
        return;
    }
    boundSet = wanted;
    const int generation = ++bindGeneration;
    std::weak_ptr<KeyBindings*> alive = self;
    k.s.desktop.bindShortcuts(wanted, [alive, generation](const DesktopShortcutAnswer& answer) {
        if (auto me = alive.lock()) (*me)->answers.append({generation, answer});
    });
}

void KeyBindings::reportAnswer(const DesktopShortcutAnswer& answer) {
    using Status = DesktopShortcutAnswer::Status;
    if (answer.status == Status::NoAnswer) {
        k.shell.LogLine(QStringLiteral("RegisterHotkeys: the desktop did not answer the shortcuts: ") + answer.error);
        // On X11 the grabs stand in until the desktop says otherwise.
        if (k.s.desktop.hotkeysAvailable()) {
            QVector<int> all;
            for (const DesktopShortcut& s : *boundSet) all << HotkeyIdOfShortcut(s.id);
            desktopTriggers.clear();
            fallBack(all);
        }
        return;
    }
    if (answer.status == Status::Failed)
        k.shell.LogLine(QStringLiteral("RegisterHotkeys: the desktop refused the shortcuts: ") + answer.error);
    const bool change = answer.status == Status::Changed;
    if (!change) desktopTriggers.clear();
    for (const DesktopShortcut& s : *boundSet) {
        const int id = HotkeyIdOfShortcut(s.id);
        if (change && !answer.triggers.contains(s.id)) continue;
        const QString trigger = answer.status == Status::Failed ? QString() : answer.triggers.value(s.id);
        if (trigger.isEmpty()) {
            if (answer.status != Status::Failed && (!change || desktopTriggers.contains(id)))
                k.shell.LogLine(QStringLiteral("HotkeyID %1 (%2): no trigger on the desktop").arg(id).arg(s.description));
            desktopTriggers.remove(id);
            continue;
        }
        if (change && desktopTriggers.value(id) == trigger) continue;
        desktopTriggers.insert(id, trigger);
        k.shell.LogLine(QStringLiteral("HotkeyID %1 (%2): %3").arg(id).arg(s.description, trigger));
    }
    QVector<int> missing;
    for (const DesktopShortcut& s : *boundSet) {
        const int id = HotkeyIdOfShortcut(s.id);
        if (!desktopTriggers.contains(id)) missing << id;
    }
    if (!change || QSet<int>(missing.cbegin(), missing.cend()) != fallbackIds) fallBack(missing);
}

void KeyBindings::fallBack(const QVector<int>& missing) {
    const QSet<int> before = std::exchange(fallbackIds, QSet<int>(missing.cbegin(), missing.cend()));
    if (k.s.desktop.hotkeysAvailable()) {
        if (!fallbackIds.isEmpty() && fallbackIds != before)
            k.shell.LogLine(QStringLiteral("RegisterHotkeys: X11 key grabs take the shortcuts the desktop holds no "
                                           "trigger for"));
        // A grab refused here is a key another program holds: its box.
        if (!withdrawn) registerGrabs(&fallbackIds);
        return;
    }
    if (fallbackIds.isEmpty()) return;
    QStringList names;
    for (const DesktopShortcut& s : *boundSet)
        if (fallbackIds.contains(HotkeyIdOfShortcut(s.id))) names << s.description;
    sayUnavailable(QStringLiteral("the desktop holds no trigger for: ") + names.join(QStringLiteral(", ")),
                   QStringLiteral("Der Desktop hat für diese Tastenkürzel keine Taste vergeben: ") +
                       names.join(QStringLiteral(", ")) +
                       QStringLiteral(".\r\nSie lassen sich in den Tastenkürzel-Einstellungen des Desktops festlegen; "
                                      "bis dahin wirken sie nur, solange ein Fenster von Kalvo2 den Fokus hat."));
}

void KeyBindings::sayUnavailable(const QString& why, const QString& notice) {
    if (unavailableSaid) return;
    unavailableSaid = true;
    k.shell.LogLine(QStringLiteral("RegisterHotkeys: system-wide hotkeys are not available: ") + why);
    k.s.messages.showNotice(notice);
}

KeyBindings::Reach KeyBindings::HotkeyReach() const {
    switch (road) {
    case Road::Unknown:
    case Road::Probing: return Reach::Unknown;
    case Road::X11: return k.s.desktop.hotkeysAvailable() ? Reach::X11 : Reach::None;
    case Road::Desktop: break;
    }
    if (desktopTriggers.isEmpty() && !fallbackIds.isEmpty())
        return k.s.desktop.hotkeysAvailable() ? Reach::X11 : Reach::None;
    return Reach::Desktop;
}

void KeyBindings::reportFailure(const KeyBinding& b) {
    const QString text = QStringLiteral("HotkeyID FAIL=%1  Key:%2  Mod:%3").arg(b.hotkeyId).arg(b.keyCode).arg(b.modifiers);
    k.shell.LogLine(text);
    k.shell.ShowMessage(text + QStringLiteral("\r\n\r\nEvtl. wurde der Hotkey schon im System zugewiesen "
                                              "\r\n- versuchen Sie eine andere Kombination!"));
}

void KeyBindings::registerGrabs(const QSet<int>* only) {
    Desktop& desktop = k.s.desktop;
    if (!desktop.hotkeysAvailable()) return;  // logChoice said so
    // Grabs the list no longer asks for go back to the other programs.
    for (auto it = grabs.begin(); it != grabs.end();) {
        bool keep = false;
        for (const KeyBinding& b : KeyBindingList)
            keep = keep || (b.hotkeyId == it.key() && b.modifiers > 0 && b.keyCode == it->keyCode &&
                            b.modifiers == it->modifiers && (!only || only->contains(b.hotkeyId)));
        if (keep) {
            ++it;
        } else {
            desktop.unregisterHotkey(it.key());
            it = grabs.erase(it);
        }
    }
    for (const KeyBinding& b : KeyBindingList) {
        if (b.modifiers <= 0 || (only && !only->contains(b.hotkeyId))) continue;
        desktop.unregisterHotkey(b.hotkeyId);
        grabs.remove(b.hotkeyId);
        if (desktop.registerHotkey(b.hotkeyId, b.modifiers, b.keyCode)) {
            grabs.insert(b.hotkeyId, Grab{b.keyCode, b.modifiers});
            continue;
        }
        reportFailure(b);
    }
}

void KeyBindings::UnregisterHotkeys() {
    withdrawn = true;
    for (auto it = grabs.cbegin(); it != grabs.cend(); ++it) k.s.desktop.unregisterHotkey(it.key());
    grabs.clear();
}
