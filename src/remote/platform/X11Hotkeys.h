#pragma once
#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QObject>
#include <QVector>
#include <functional>

#include "platform/X11Session.h"

// System-wide hotkeys on X11: a checked passive grab on the root window per
// hotkey, also with the Num Lock and Caps Lock variants so that the hotkey
// works whatever their state. A grabbed press reaches the sink with the
// hotkey's id, queued onto the event loop, marked when it is the key's
// auto-repeat. Without an X11 session every grab is refused. UI thread only.
class X11Hotkeys : public QObject, public QAbstractNativeEventFilter {
public:
    X11Hotkeys();
    ~X11Hotkeys() override;

    bool available() const { return x.valid(); }
    QString unavailableReason() const { return x.why; }
    void setSink(std::function<void(int id, bool autoRepeat)> s) { sink = std::move(s); }

    // Grabs modifiers (1 ALT, 2 CTRL, 4 SHIFT) + virtual key under id; false
    // when the key has no key code here or another client holds it (then
    // nothing of it stays grabbed). error() tells which.
    bool grab(int id, int modifiers, int virtualKey);
    void ungrab(int id);
    QString error() const { return lastError; }
    // What the keyboard layout in use has on the key of a virtual-key code
    // (the key grab() would take), 0 without X11 or when no key has it.
    unsigned long layoutKeysym(int virtualKey) const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        unsigned char keycode;
        unsigned short mask;
    };
    void ungrabVariants(const Grab& g, int count);
    unsigned char keycodeOf(int virtualKey, unsigned long* layoutKeysym) const;
    QVector<unsigned short> variants(unsigned short mask) const;

    X11Session x;
    unsigned short numLockMask = 0;
    QHash<int, Grab> grabs;
    QString lastError;
    std::function<void(int, bool)> sink;
    unsigned char heldKeycode = 0;  // a grabbed key that is down
    unsigned int releaseTime = 0;   // ... and when it last went up
    unsigned char releasedKeycode = 0;
};
