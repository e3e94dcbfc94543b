#pragma once
#include <QHash>
#include <QSet>
#include <QVector>
#include <cstdint>
#include <memory>
#include <optional>

#include "base/Desktop.h"

#include "remote/KeyNames.h"

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
    // id. The first call asks the desktop whether it keeps shortcuts for
    // programs; the way chosen and why go into the log once per run.
    // Desktop shortcuts: one bind of the whole set, again only when a binding
    // with modifiers was added, changed or deleted; the answer comes later and
    // is reported by the pass (a log line per bound binding with the desktop's
    // trigger, the failure line and message per binding left out or refused).
    // X11 grabs: the grabs of bindings that were deleted or whose key or
    // modifiers changed are withdrawn first; a refused grab gives a log line
    // and a message box per binding. Where the session offers neither, one log
    // line for the whole run.
    void RegisterHotkeys();
    // False once it is known that neither the desktop's shortcuts nor X11
    // grabs are there in this session; true while that is not yet known.
    bool SystemWideKeysAvailable() const;
    // Withdraws every grab the player holds and ignores desktop shortcuts
    // (the configuration window is open) until the next RegisterHotkeys.
    void UnregisterHotkeys();
    // Reports what the desktop answered since the last pass. Run by the pass.
    // Shortcuts the desktop holds without a trigger, or did not take, are
    // grabbed on X11 where the session has it; where neither can have them,
    // one log line and one notice that does not block say so, once per run.
    // A trigger the user changes on the desktop gets its log line again.
    void HotkeyStep();

    // How system-wide hotkeys reach the player: not known yet (the desktop
    // has not answered), through the desktop's shortcuts, through X11 key
    // grabs, or not at all (then keys work only in the player's windows).
    enum class Reach { Unknown, Desktop, X11, None };
    Reach HotkeyReach() const;
    // The trigger the desktop uses for a binding's shortcut; "" for none or
    // not known.
    QString DesktopTrigger(int hotkeyId) const { return desktopTriggers.value(hotkeyId); }

    // The desktop shortcut id of a binding id and back (0 for a foreign id).
    static QString ShortcutId(int hotkeyId);
    static int HotkeyIdOfShortcut(const QString& shortcutId);
    // The desktop shortcuts the bindings ask for: one per binding with
    // modifiers, in list order, the first of twins sharing an id.
    QVector<DesktopShortcut> WantedShortcuts() const;

private:
    struct Grab { int keyCode; int modifiers; };
    enum class Road { Unknown, Probing, Desktop, X11 };
    void startRoad();
    void logChoice();
    // Grabs the bindings with modifiers (only those in only, when given) and
    // withdraws every other grab.
    void registerGrabs(const QSet<int>* only = nullptr);
    void fallBack(const QVector<int>& missing);
    void sayUnavailable(const QString& why, const QString& notice);
    void bindShortcuts();
    void reportAnswer(const DesktopShortcutAnswer& answer);
    void reportFailure(const KeyBinding& b);
    Kalvo& k;
    int currentIndex = -1;
    QHash<int, Grab> grabs;  // what is registered now, by id
    Road road = Road::Unknown;
    QString roadReason;  // the desktop's words on its shortcuts
    bool choiceLogged = false;
    bool withdrawn = false;
    std::optional<QVector<DesktopShortcut>> boundSet;  // the last set sent to the desktop
    int bindGeneration = 0;
    std::optional<std::pair<bool, QString>> probeResult;           // waiting for the pass
    QVector<std::pair<int, DesktopShortcutAnswer>> answers;        // by bind generation
    QHash<int, QString> desktopTriggers;  // binding id -> the desktop's trigger
    QSet<int> fallbackIds;                // desktop shortcuts without a trigger, grabbed instead
    bool unavailableSaid = false;
    std::shared_ptr<KeyBindings*> self = std::make_shared<KeyBindings*>(this);
};
