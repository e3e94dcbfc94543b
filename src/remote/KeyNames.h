#pragma once
#include <QString>
#include <QStringList>

// The key functions a binding can run, numbered from 1 in the order of
// KeyFunctionNames(). A new function is added by appending its name here and
// its action to KeyBindings::RunFunction; numbers outside the list do nothing.
enum KeyFunction : int {
    FnNextSong = 1,
    FnPrevSong = 2,
    FnJumpForward = 3,
    FnJumpBack = 4,
    FnDeleteSong = 5,
    FnStopLeaveBlackscreen = 6,
    FnVolumeUp10 = 7,
    FnVolumeDown10 = 8,
    FnVolumeUp3 = 9,
    FnVolumeDown3 = 10,
    FnUndoDelete = 11,
};

// The display names of the key functions, function n at index n - 1.
const QStringList& KeyFunctionNames();
// The name of function n; empty for 0 and numbers outside the list.
QString KeyFunctionName(int function);
// The name of a virtual-key code as the user sees it ("PgUp", "F5", "Num3",
// "Key48").
QString KeyCode2Text(int keyCode);

// Modifier bits of a binding (the same values as the system hotkey flags).
enum KeyModifier : int { ModAlt = 1, ModCtrl = 2, ModShift = 4 };
