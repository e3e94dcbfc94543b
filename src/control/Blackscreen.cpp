#include "control/Blackscreen.h"

#include "base/Clock.h"
#include "base/Desktop.h"
#include "base/MainView.h"
#include "base/PassEvent.h"
#include "base/Windows.h"
#include "shell/Kalvo.h"

namespace {
const int kLeaveKeys[] = {27, 32, 81};  // Esc, Space, Q
}

void Blackscreen::EnableBlackscreen() {
    k.settings.GBlackScreen = k.s.view.blackscreenBox() ? 1 : 0;
    if (!k.settings.GBlackScreen) return;

    KeyBindings& b = k.bindings;
    const bool noBindings = b.KeyBindingList.isEmpty();
    bool hasLeave = false;
    for (const KeyBinding& kb : b.KeyBindingList) hasLeave = hasLeave || kb.function == FnStopLeaveBlackscreen;

    QString text;
    if (noBindings)
        text += QStringLiteral("Sie sollten in der Tastenkonfiguration (Menü Extras) Steuertasten für den "
                               "Blackscreen festlegen!\r\n\r\n");
    if (!hasLeave) {
        int freeKey = 0;
        for (int key : kLeaveKeys) {
            if (b.FindBindingByKey(key) == 0 && !b.current()) {
                freeKey = key;
                break;
            }
        }
        if (freeKey != 0) {
            text += QStringLiteral("Sie können den Blackscreen mit folgender Taste verlassen: ") +
                    KeyCode2Text(freeKey) + QStringLiteral("\r\n\r\n");
            b.KeyBindingList.append(KeyBinding{b.NewBindingId(), freeKey, 0, FnStopLeaveBlackscreen});
        } else {
            text += QStringLiteral("Sie müssen in der Tasten Konfiguration (Menü Extras) ein Taste für das "
                                   "Verlassen des Blackscreens festlegen!\r\n\r\n");
        }
    }
    if (noBindings) {
        const int defaults[][2] = {{40, FnNextSong}, {38, FnPrevSong}, {39, FnJumpForward}, {37, FnJumpBack}};
        for (const auto& d : defaults) b.KeyBindingList.append(KeyBinding{b.NewBindingId(), d[0], 0, d[1]});
        text += QStringLiteral("Ich habe für Sie die Pfeil-Tasten für die Musiksteuerung voreingestellt...\r\n");
    }
    if (!text.isEmpty()) k.shell.ShowMessage(text);
}

void Blackscreen::OpenBlackWin() {
    if (k.s.windows.blackWindowOpen()) return;
    if (!k.s.windows.openBlackWindow()) {
        k.shell.LogLine(QStringLiteral("Konnte BlackWin nicht öffnen!"));
        return;
    }
    SetScreenSaver(0);
}

void Blackscreen::LeaveBlackscreen() {
    k.playback.Stoppen();
    if (k.s.windows.blackWindowOpen()) k.s.windows.closeBlackWindow();
    SetScreenSaver(1);
}

void Blackscreen::SetScreenSaver(int flag) {
    const bool off = flag == 0;
    if (off && screensaverOff) return;
    if (k.s.desktop.setScreensaverEnabled(!off)) {
        screensaverOff = off;
        return;
    }
    // Nothing was switched: a later switch-off tries again.
    screensaverOff = false;
    k.shell.LogLine(QStringLiteral("Error: Screensaver cannot be de-/activated! ") + k.s.desktop.lastError());
}

void Blackscreen::CheckMonitorPower(int rawMessage) {
    if (!k.settings.GBlackScreen || k.settings.GBlackScrMonOff == 0 || k.playback.currentSong.isEmpty()) return;
    const uint32_t now = k.s.clock.tickMs();
    switch (rawMessage) {
    case WmKeyDown:
    case WmKeyUp:
    case WmMouseMove:
    case WmLButtonDown:
    case WmLButtonUp:
        lastInputTime = now;
        // A tick of 0 would read as "none pending".
        if (lastInputTime == 0) lastInputTime = 1;
        break;
    default: break;
    }
    if (lastInputTime != 0 && tickDiff(now, lastInputTime) > int64_t(k.settings.GBlackScrMonOff) * 1000) {
        lastInputTime = 0;
        if (!k.s.desktop.monitorLowPower() && !monitorFailureLogged) {
            monitorFailureLogged = true;
            k.shell.LogLine(QStringLiteral("CheckMonitorPower: the monitor cannot be put into low power: ") +
                            k.s.desktop.lastError());
        }
    }
}
