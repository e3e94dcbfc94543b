#pragma once
#include <QString>

// Opening the display is the first thing that can fail for want of a
// graphical session or of Qt's platform plugin. Qt ends the program then
// with a fatal message (an abort, which the error report would take for a
// crash); under this guard it ends instead with one line on stderr that says
// what is missing, and exit code 1.
//
// Arm before constructing the QApplication, disarm right after it: Qt's
// messages meanwhile are held back and passed on at disarm.
void armDisplayStartGuard();
void disarmDisplayStartGuard();

// What is missing, from the environment (QT_QPA_PLATFORM, WAYLAND_DISPLAY,
// DISPLAY) and the platform plugins Qt has. Pure but for reading those.
QString missingDisplayText(const QString& chosenPlatform, bool waylandSession, bool x11Display,
                           bool waylandPluginThere, const QString& displayName);
