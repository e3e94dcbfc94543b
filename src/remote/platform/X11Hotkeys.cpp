#include "remote/platform/X11Hotkeys.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <cstdlib>
#include <utility>

#include "remote/platform/X11Keysyms.h"

namespace {
// The modifiers a binding names; Num Lock, Caps Lock and the rest are ignored.
constexpr unsigned short kBindingMods = XCB_MOD_MASK_1 | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;

unsigned short maskOf(int modifiers) {
    unsigned short mask = 0;
    if (modifiers & 1) mask |= XCB_MOD_MASK_1;
    if (modifiers & 2) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 4) mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}
}  // namespace

X11Hotkeys::X11Hotkeys() : x(X11Session::current()) {
    if (!x.valid()) return;
    // The modifier bit that carries Num Lock differs between keyboards.
    if (XModifierKeymap* map = XGetModifierMapping(x.display)) {
        const KeyCode numLock = XKeysymToKeycode(x.display, XK_Num_Lock);
        for (int mod = 0; mod < 8 && numLock != 0; ++mod)
            for (int i = 0; i < map->max_keypermod; ++i)
                if (map->modifiermap[mod * map->max_keypermod + i] == numLock) numLockMask = 1u << mod;
        XFreeModifiermap(map);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Hotkeys::~X11Hotkeys() {
    if (!x.valid()) return;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    const QList<int> ids = grabs.keys();
    for (int id : ids) ungrab(id);
}

QVector<unsigned short> X11Hotkeys::variants(unsigned short mask) const {
    QVector<unsigned short> out{mask, static_cast<unsigned short>(mask | XCB_MOD_MASK_LOCK)};
    if (numLockMask != 0) {
        out << static_cast<unsigned short>(mask | numLockMask)
            << static_cast<unsigned short>(mask | numLockMask | XCB_MOD_MASK_LOCK);
    }
    return out;
}

void X11Hotkeys::ungrabVariants(const Grab& g, int count) {
    const QVector<unsigned short> masks = variants(g.mask);
    for (int i = 0; i < count && i < masks.size(); ++i)
        xcb_ungrab_key(x.connection, g.keycode, x.root, masks[i]);
    xcb_flush(x.connection);
}

bool X11Hotkeys::grab(int id, int modifiers, int virtualKey) {
    lastError.clear();
    if (!x.valid()) {
        lastError = x.why;
        return false;
    }
    ungrab(id);
    const unsigned char keycode = keycodeOf(virtualKey, nullptr);
    if (keycode == 0) {
        lastError = QStringLiteral("no key code for virtual key %1").arg(virtualKey);
        return false;
    }
    const Grab g{static_cast<unsigned char>(keycode), maskOf(modifiers)};
    const QVector<unsigned short> masks = variants(g.mask);
    for (int i = 0; i < masks.size(); ++i) {
        // owner_events false: the press comes to the root window even while a
        // window of the player has the focus, so every press is a hotkey.
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(x.connection, 0, x.root, masks[i], g.keycode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* err = xcb_request_check(x.connection, cookie)) {
            lastError = err->error_code == XCB_ACCESS ? QStringLiteral("another client holds the combination")
                                                      : QStringLiteral("X11 error %1").arg(err->error_code);
            std::free(err);
            ungrabVariants(g, i);
            return false;
        }
    }
    grabs.insert(id, g);
    return true;
}

unsigned char X11Hotkeys::keycodeOf(int virtualKey, unsigned long* layoutKeysym) const {
    if (layoutKeysym) *layoutKeysym = 0;
    if (!x.valid()) return 0;
    const unsigned long sym = keysymFromVirtualKey(virtualKey);
    KeyCode keycode = sym ? XKeysymToKeycode(x.display, sym) : 0;
    if (keycode != 0) {
        if (layoutKeysym) *layoutKeysym = sym;
        return keycode;
    }
    // A German key on another layout: the key in its place, named as this
    // layout names it unshifted.
    const unsigned int place = germanKeycodeOfVirtualKey(virtualKey);
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(x.display, &minKeycode, &maxKeycode);
    if (place == 0 || int(place) < minKeycode || int(place) > maxKeycode) return 0;
    const KeySym here = XkbKeycodeToKeysym(x.display, KeyCode(place), 0, 0);
    if (here == NoSymbol) return 0;
    if (layoutKeysym) *layoutKeysym = here;
    return static_cast<unsigned char>(place);
}

unsigned long X11Hotkeys::layoutKeysym(int virtualKey) const {
    unsigned long sym = 0;
    keycodeOf(virtualKey, &sym);
    return sym;
}

void X11Hotkeys::ungrab(int id) {
    if (!x.valid() || !grabs.contains(id)) return;
    const Grab g = grabs.take(id);
    // Another id may grab the same combination (a stored list can hold it
    // twice): keep it grabbed for that one.
    for (const Grab& other : std::as_const(grabs))
        if (other.keycode == g.keycode && other.mask == g.mask) return;
    ungrabVariants(g, 4);
}

bool X11Hotkeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || grabs.isEmpty()) return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = ev->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
    if (key->event != x.root) return false;
    if (type == XCB_KEY_RELEASE) {
        if (key->detail == heldKeycode) heldKeycode = 0;
        releasedKeycode = key->detail;
        releaseTime = key->time;
        return true;
    }
    const unsigned short mask = key->state & kBindingMods;
    int id = 0;
    for (auto it = grabs.cbegin(); it != grabs.cend() && id == 0; ++it)
        if (it->keycode == key->detail && it->mask == mask) id = it.key();
    if (id == 0) return false;
    // The server repeats a held key as presses without releases, or as a
    // release and a press of the same time.
    const bool repeat = key->detail == heldKeycode || (key->detail == releasedKeycode && key->time == releaseTime);
    heldKeycode = key->detail;
    if (sink) {
        auto deliver = sink;
        QMetaObject::invokeMethod(this, [deliver, id, repeat] { deliver(id, repeat); }, Qt::QueuedConnection);
    }
    return true;
}
