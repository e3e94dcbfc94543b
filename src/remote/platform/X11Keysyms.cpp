#include "remote/platform/X11Keysyms.h"

#include <QStringList>
#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <X11/keysymdef.h>

unsigned long keysymFromVirtualKey(int vk) {
    if (vk >= 0x41 && vk <= 0x5A) return XK_a + (vk - 0x41);
    if (vk >= 0x30 && vk <= 0x39) return XK_0 + (vk - 0x30);
    if (vk >= 0x60 && vk <= 0x69) return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);
    switch (vk) {
    case 0x08: return XK_BackSpace;
    case 0x09: return XK_Tab;
    case 0x0C: return XK_Clear;
    case 0x0D: return XK_Return;
    case 0x10: return XK_Shift_L;
    case 0x11: return XK_Control_L;
    case 0x12: return XK_Alt_L;
    case 0x13: return XK_Pause;
    case 0x14: return XK_Caps_Lock;
    case 0x1B: return XK_Escape;
    case 0x20: return XK_space;
    case 0x21: return XK_Prior;
    case 0x22: return XK_Next;
    case 0x23: return XK_End;
    case 0x24: return XK_Home;
    case 0x25: return XK_Left;
    case 0x26: return XK_Up;
    case 0x27: return XK_Right;
    case 0x28: return XK_Down;
    case 0x2C: return XK_Print;
    case 0x2D: return XK_Insert;
    case 0x2E: return XK_Delete;
    case 0x5B: return XK_Super_L;
    case 0x5C: return XK_Super_R;
    case 0x5D: return XK_Menu;
    case 0x6A: return XK_KP_Multiply;
    case 0x6B: return XK_KP_Add;
    case 0x6D: return XK_KP_Subtract;
    case 0x6E: return XK_KP_Decimal;
    case 0x6F: return XK_KP_Divide;
    case 0x90: return XK_Num_Lock;
    case 0x91: return XK_Scroll_Lock;
    case 0xA6: return XF86XK_Back;
    case 0xA7: return XF86XK_Forward;
    case 0xA8: return XF86XK_Refresh;
    case 0xA9: return XF86XK_Stop;
    case 0xAA: return XF86XK_Search;
    case 0xAB: return XF86XK_Favorites;
    case 0xAC: return XF86XK_HomePage;
    case 0xAD: return XF86XK_AudioMute;
    case 0xAE: return XF86XK_AudioLowerVolume;
    case 0xAF: return XF86XK_AudioRaiseVolume;
    case 0xB0: return XF86XK_AudioNext;
    case 0xB1: return XF86XK_AudioPrev;
    case 0xB2: return XF86XK_AudioStop;
    case 0xB3: return XF86XK_AudioPlay;
    case 0xB4: return XF86XK_Mail;
    case 0xB5: return XF86XK_AudioMedia;
    // The keys of a German keyboard beside the letters, as they are unshifted.
    case 0xBA: return XK_udiaeresis;
    case 0xBB: return XK_plus;
    case 0xBC: return XK_comma;
    case 0xBD: return XK_minus;
    case 0xBE: return XK_period;
    case 0xBF: return XK_numbersign;
    case 0xC0: return XK_odiaeresis;
    case 0xDB: return XK_ssharp;
    case 0xDC: return XK_dead_circumflex;
    case 0xDD: return XK_dead_acute;
    case 0xDE: return XK_adiaeresis;
    case 0xE2: return XK_less;
    default: return 0;
    }
}

unsigned int germanKeycodeOfVirtualKey(int vk) {
    // xkb key codes (evdev + 8) of the keys that carry these codes on a
    // German keyboard.
    switch (vk) {
    case 0xBA: return 34;  // AD11 ü
    case 0xBB: return 35;  // AD12 +
    case 0xBC: return 59;  // AB08 ,
    case 0xBD: return 61;  // AB10 -
    case 0xBE: return 60;  // AB09 .
    case 0xBF: return 51;  // BKSL #
    case 0xC0: return 47;  // AC10 ö
    case 0xDB: return 20;  // AE11 ß
    case 0xDC: return 49;  // TLDE ^
    case 0xDD: return 21;  // AE12 ´
    case 0xDE: return 48;  // AC11 ä
    case 0xE2: return 94;  // LSGT <
    default: return 0;
    }
}

QString shortcutTrigger(int modifiers, int vk, unsigned long layoutKeysym) {
    unsigned long sym = layoutKeysym ? layoutKeysym : keysymFromVirtualKey(vk);
    // Letters are named by their lower-case keysym, whatever the layout's
    // level 0 says.
    if (sym >= XK_A && sym <= XK_Z) sym += XK_a - XK_A;
    if (sym == 0) return QString();
    QString name;
    if (sym == XK_Prior) name = QStringLiteral("Page_Up");
    else if (sym == XK_Next) name = QStringLiteral("Page_Down");
    else if (const char* s = XKeysymToString(sym)) name = QString::fromLatin1(s);
    if (name.isEmpty()) return QString();
    QStringList parts;
    if (modifiers & 2) parts << QStringLiteral("CTRL");
    if (modifiers & 1) parts << QStringLiteral("ALT");
    if (modifiers & 4) parts << QStringLiteral("SHIFT");
    parts << name;
    return parts.join(QLatin1Char('+'));
}
