#include "remote/VirtualKeys.h"

#include <iterator>

namespace {

struct Pair {
    int qt;
    int vk;
};

// Keys whose code does not depend on the keypad modifier or the layout.
constexpr Pair kFixed[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09}, {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C}, {Qt::Key_Return, 0x0D}, {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10}, {Qt::Key_Control, 0x11}, {Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, 0x13}, {Qt::Key_CapsLock, 0x14}, {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20}, {Qt::Key_PageUp, 0x21}, {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23}, {Qt::Key_Home, 0x24}, {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26}, {Qt::Key_Right, 0x27}, {Qt::Key_Down, 0x28},
    {Qt::Key_Select, 0x29}, {Qt::Key_Printer, 0x2A}, {Qt::Key_Execute, 0x2B},
    {Qt::Key_Print, 0x2C}, {Qt::Key_SysReq, 0x2C}, {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E}, {Qt::Key_Help, 0x2F},
    {Qt::Key_Meta, 0x5B}, {Qt::Key_Super_L, 0x5B}, {Qt::Key_Super_R, 0x5C},
    {Qt::Key_Menu, 0x5D}, {Qt::Key_Sleep, 0x5F},
    {Qt::Key_NumLock, 0x90}, {Qt::Key_ScrollLock, 0x91},
    {Qt::Key_Back, 0xA6}, {Qt::Key_Forward, 0xA7}, {Qt::Key_Refresh, 0xA8},
    {Qt::Key_Stop, 0xA9}, {Qt::Key_Search, 0xAA}, {Qt::Key_Favorites, 0xAB},
    {Qt::Key_HomePage, 0xAC}, {Qt::Key_VolumeMute, 0xAD},
    {Qt::Key_VolumeDown, 0xAE}, {Qt::Key_VolumeUp, 0xAF},
    {Qt::Key_MediaNext, 0xB0}, {Qt::Key_MediaPrevious, 0xB1},
    {Qt::Key_MediaStop, 0xB2}, {Qt::Key_MediaTogglePlayPause, 0xB3},
    {Qt::Key_MediaPlay, 0xB3}, {Qt::Key_MediaPause, 0xB3},
    {Qt::Key_LaunchMail, 0xB4}, {Qt::Key_LaunchMedia, 0xB5},
    {Qt::Key_Launch0, 0xB6}, {Qt::Key_Launch1, 0xB7},
    {Qt::Key_Play, 0xFA}, {Qt::Key_Zoom, 0xFB},
    // German layout, unshifted.
    {Qt::Key_Udiaeresis, 0xBA}, {Qt::Key_Plus, 0xBB}, {Qt::Key_Comma, 0xBC},
    {Qt::Key_Minus, 0xBD}, {Qt::Key_Period, 0xBE}, {Qt::Key_NumberSign, 0xBF},
    {Qt::Key_Odiaeresis, 0xC0}, {Qt::Key_ssharp, 0xDB},
    {Qt::Key_AsciiCircum, 0xDC}, {Qt::Key_Dead_Circumflex, 0xDC},
    {Qt::Key_acute, 0xDD}, {Qt::Key_Dead_Acute, 0xDD},
    {Qt::Key_Adiaeresis, 0xDE}, {Qt::Key_Less, 0xE2},
    // US-only keys that do not clash with the German ones above.
    {Qt::Key_Semicolon, 0xBC}, {Qt::Key_Colon, 0xBE}, {Qt::Key_Slash, 0xBF},
    {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC}, {Qt::Key_BracketRight, 0xDD},
    {Qt::Key_Apostrophe, 0xBF}, {Qt::Key_Equal, 0x30},
    // German layout with Shift: the key that carries the symbol.
    {Qt::Key_Exclam, 0x31}, {Qt::Key_QuoteDbl, 0x32}, {Qt::Key_section, 0x33},
    {Qt::Key_Dollar, 0x34}, {Qt::Key_Percent, 0x35}, {Qt::Key_Ampersand, 0x36},
    {Qt::Key_ParenLeft, 0x38}, {Qt::Key_ParenRight, 0x39},
    {Qt::Key_Question, 0xDB}, {Qt::Key_QuoteLeft, 0xDD},
    {Qt::Key_Underscore, 0xBD}, {Qt::Key_Greater, 0xE2},
    {Qt::Key_degree, 0xDC}, {Qt::Key_At, 0x32},
};

// Keys that change their code on the keypad.
constexpr Pair kKeypad[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B}, {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E}, {Qt::Key_Comma, 0x6E}, {Qt::Key_Slash, 0x6F},
};

int lookup(const Pair* begin, const Pair* end, int qtKey) {
    for (const Pair* p = begin; p != end; ++p)
        if (p->qt == qtKey) return p->vk;
    return 0;
}

}  // namespace

int virtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 0x60 + (qtKey - Qt::Key_0);
        // Navigation keys of the keypad keep their own codes while NumLock is
        // off (X reports them with the keypad modifier); only the operators
        // and the digits change.
        if (qtKey == Qt::Key_Asterisk || qtKey == Qt::Key_Plus || qtKey == Qt::Key_Minus ||
            qtKey == Qt::Key_Slash || qtKey == Qt::Key_Period || qtKey == Qt::Key_Comma)
            return lookup(std::begin(kKeypad), std::end(kKeypad), qtKey);
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 0x41 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 0x30 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
    // Shift+7 is "/" on the German layout, the unshifted "/" key on US.
    if (qtKey == Qt::Key_Slash && (modifiers & Qt::ShiftModifier)) return 0x37;
    // Shift+0 is "=" on the German layout; "*" is Shift+"+".
    if (qtKey == Qt::Key_Asterisk) return 0xBB;
    return lookup(std::begin(kFixed), std::end(kFixed), qtKey);
}

bool virtualKeyIsKeypad(int vk) { return vk >= 0x60 && vk <= 0x6F && vk != 0x6C; }

int qtKeyFromVirtualKey(int vk) {
    if (vk >= 0x41 && vk <= 0x5A) return Qt::Key_A + (vk - 0x41);
    if (vk >= 0x30 && vk <= 0x39) return Qt::Key_0 + (vk - 0x30);
    if (vk >= 0x70 && vk <= 0x87) return Qt::Key_F1 + (vk - 0x70);
    if (vk >= 0x60 && vk <= 0x69) return Qt::Key_0 + (vk - 0x60);
    for (const Pair& p : kKeypad)
        if (p.vk == vk && vk >= 0x6A) return p.qt;
    for (const Pair& p : kFixed)
        if (p.vk == vk) return p.qt;
    return 0;
}

int virtualKeyFromScanCode(unsigned int xkbKeycode) {
    // evdev codes: KEY_1..KEY_0 are 2..11; the three letter rows follow.
    static const char kRows[] = "1234567890";
    static const char kQ[] = "QWERTYUIOP";  // 16..25
    static const char kA[] = "ASDFGHJKL";   // 30..38
    static const char kZ[] = "ZXCVBNM";     // 44..50
    if (xkbKeycode < 8) return 0;
    const unsigned int ev = xkbKeycode - 8;
    if (ev >= 2 && ev <= 11) return kRows[ev - 2];
    if (ev >= 16 && ev <= 25) return kQ[ev - 16];
    if (ev >= 30 && ev <= 38) return kA[ev - 30];
    if (ev >= 44 && ev <= 50) return kZ[ev - 44];
    return 0;
}
