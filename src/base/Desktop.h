#pragma once
#include <QHash>
#include <QString>
#include <QVector>
#include <functional>

// A shortcut the desktop itself keeps and shows in its keyboard settings.
struct DesktopShortcut {
    QString id;           // stable across runs: the desktop keeps the user's trigger under it
    QString description;  // what it does, in the user's words
    int modifiers = 0;    // 1 ALT, 2 CTRL, 4 SHIFT
    int virtualKey = 0;   // Windows virtual-key code
};

inline bool operator==(const DesktopShortcut& a, const DesktopShortcut& b) {
    return a.id == b.id && a.description == b.description && a.modifiers == b.modifiers &&
           a.virtualKey == b.virtualKey;
}

// The desktop's answer to a bind of desktop shortcuts. Changed comes later,
// any number of times: the user gave shortcuts of the bind other triggers.
struct DesktopShortcutAnswer {
    enum class Status { Bound, Failed, NoAnswer, Changed };
    Status status = Status::Failed;
    // Bound, Changed: id -> the trigger as the desktop describes it ("" when
    // the desktop holds the shortcut without a trigger).
    QHash<QString, QString> triggers;
    QString error;  // Failed, NoAnswer: why
};

// The desktop around the player: file manager, screensaver, monitor power,
// system-wide hotkeys. Every call returns at once.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens folder in the desktop's file manager; false if nothing could
    // start (lastError() says why). When the opener starts but then finds no
    // program for folders, failedLater gets its reason, later, on the UI
    // thread.
    virtual bool openFolder(const QString& folder, std::function<void(const QString& why)> failedLater) = 0;
    // Lets the screensaver start again (true) or keeps it away (false); the
    // second switch-off in a row changes nothing. False when no way the
    // session offers took the switch (lastError() says why).
    virtual bool setScreensaverEnabled(bool enabled) = 0;
    // Puts the monitor into low power (standby); false when the session
    // cannot (lastError() says why).
    virtual bool monitorLowPower() = 0;
    // Registers a global hotkey; false when the desktop refuses it.
    virtual bool registerHotkey(int id, int modifiers, int virtualKey) = 0;
    virtual void unregisterHotkey(int id) = 0;
    // False when the session has no system-wide hotkeys at all (no X11).
    virtual bool hotkeysAvailable() const { return true; }

    // Desktop shortcuts (on today's desktops, Wayland and X11 alike). probe
    // answers once, later, on the UI thread: whether the desktop keeps
    // shortcuts for programs, and in which way or why not.
    virtual void probeShortcuts(std::function<void(bool offered, const QString& how)> done) {
        done(false, QStringLiteral("not offered"));
    }
    // Replaces every shortcut bound before by the given ones (also none).
    // The answer comes later through done, maybe twice: NoAnswer when the
    // desktop stays silent for a few seconds, then what it says after all;
    // then Changed whenever the user changes a trigger on the desktop.
    virtual void bindShortcuts(const QVector<DesktopShortcut>& shortcuts,
                               std::function<void(const DesktopShortcutAnswer&)> done) {
        (void)shortcuts;
        (void)done;
    }
    // Keeps the computer from suspending on its own while held (music plays).
    virtual void holdOffSuspend(bool hold) { (void)hold; }

    // The system's words for the last failure of a call above.
    virtual QString lastError() const { return QString(); }
};
