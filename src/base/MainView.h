#pragma once
#include <QString>

// The main window's fields and the few controls the logic reads and writes.
// Control numbers in comments are the window's fixed control numbers.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void setTitle(const QString& text) = 0;
    virtual void setListName(const QString& text) = 0;    // 3
    virtual void setPathText(const QString& text) = 0;    // 4
    virtual QString pathText() const = 0;                 // 4
    virtual void setSongText(const QString& text) = 0;    // 7
    virtual QString songText() const = 0;                 // 7
    virtual void setCounterText(const QString& text) = 0; // 8
    virtual void setTimeText(const QString& text) = 0;    // 12
    virtual void setPositionText(const QString& text) = 0; // 13
    virtual int volumeSlider() const = 0;                 // 15, 0..100
    virtual void setVolumeSlider(int value) = 0;
    virtual bool blackscreenBox() const = 0;              // 23 "BS"
    virtual void setBlackscreenBox(bool on) = 0;
    virtual bool weckenBox() const = 0;                   // 24 "Wecken:"
    virtual void setWeckenBox(bool on) = 0;
    virtual int alarmHour() const = 0;                    // 25
    virtual void setAlarmHour(int hour) = 0;
    virtual int alarmMinute() const = 0;                  // 26
    virtual void setAlarmMinute(int minute) = 0;
    virtual QString snoozeText() const = 0;               // 28
    virtual void setSnoozeText(const QString& text) = 0;
    virtual bool fortfBox() const = 0;                    // 29 "Fortf."
    virtual void setFortfBox(bool on) = 0;
    virtual bool zufallBox() const = 0;                   // 30 "Zufall"
    virtual void setZufallBox(bool on) = 0;
    // Screen position of the window (outer top-left corner); kPlaceUnknown
    // for both where the platform does not tell programs where their windows
    // are (Wayland).
    static constexpr int kPlaceUnknown = -2147483647 - 1;
    virtual int windowX() const = 0;
    virtual int windowY() const = 0;
    virtual void moveWindow(int x, int y) = 0;
    // Inner (client) size below the menu bar, as laid out.
    virtual int innerWidth() const = 0;
    virtual int innerHeight() const = 0;
    // Width of the first column of the list panel's list.
    virtual void setListPanelColumnWidth(int width) = 0;
};
