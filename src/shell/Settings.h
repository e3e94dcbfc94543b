#pragma once
#include <QString>
#include <cstdint>

// The values of Kalvo2.ini, held in memory for the whole run. Field names
// are the keys of the file. Flags hold 0 or 1 (the low 8 bits of what was read).
struct Settings {
    // group "Generell"
    QString TrackerModDateiPattern = QStringLiteral("*.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm");
    QString WinMediaDateiPattern = QStringLiteral("*.mp3;*.mid;*.wav");
    int32_t SprungwertWM = 30;
    int32_t TrashMax = 40;
    int32_t TimeoutTM = 120;
    int32_t LoopoutTM = 30;
    int32_t Snooze = 0;
    QString LetzterPfad;
    QString LetzteListenDatei;
    uint8_t FortwAbspielen = 1;
    uint8_t Repeat = 1;
    uint8_t ZufallAbspielen = 0;
    int32_t GBlackScrMonOff = 1;
    uint8_t GBlackScreen = 0;
    uint8_t GWecken = 0;
    int32_t GWeckenH = 8;
    int32_t GWeckenM = 0;
    // group "Window"
    int32_t WinX = 100;
    int32_t WinY = 100;
    int32_t WinXLied = 96;
    int32_t WinXDLied = 400;
    int32_t WinYLied = 310;
    int32_t WinYDLied = 300;
    // Not a key: WinYLied equals the value derived from WinY (WinY + 210), so
    // the window goes just below the main window's frame as drawn here.
    bool WinYLiedDerived = true;
};
