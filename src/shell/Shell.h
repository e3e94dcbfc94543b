#pragma once
#include <QString>
#include <cstdint>
#include "base/PassEvent.h"
#include "base/Paths.h"

class Kalvo;

// The spine: folders, activity time, settings load/save, messages, log,
// start-up and exit order, and the pass the event loop runs after every
// event or 105 ms timeout. UI thread only.
class Shell {
public:
    explicit Shell(Kalvo& k) : k(k) {}

    QString programFolder;  // ends with the separator
    QString dataFolder;     // ends with the separator
    QString TrashFolder;    // dataFolder + "Kalvo-Kübel/"
    QString logFile;        // today's log file, or the log folder while none is usable
    uint32_t lastActivityTime = 0;  // tick ms
    qint64 lastListSave = 0;        // local seconds
    int mainBaseWidth = 400;
    int mainBaseHeight = 180;
    float layoutScale = 1.0f;
    bool quitRequested = false;

    // Start-up steps 4 to 17 (folders, sound, settings, list, hotkeys).
    void PrepareFolders();
    // Exit steps 1 and 2: list, then settings and the trash index.
    void SaveAtExit();

    void LoadSettings();
    void SaveSettings();
    // The song selection window's top edge: WinYLied, or while that is
    // derived from WinY, the place just below the main window's frame.
    int32_t songWindowTop() const;

    // Message box; suspends the pass while shown. Returns the answer.
    bool ShowMessage(const QString& text, bool ask = false);
    // Appends one line to logFile; fails quietly.
    void LogLine(const QString& text);
    // Shows a state or error text in the song field.
    void ShowSongText(const QString& text);
    void markActivity();  // lastActivityTime = now

    // One pass: dispatch, key step, tick, alarm, monitor step.
    void pass(const PassEvent& event);
    // While a blocking window or a message box is open the pass does nothing.
    bool suspended() const { return suspendDepth > 0; }
    void suspend() { ++suspendDepth; }
    void resume() { --suspendDepth; }

private:
    Kalvo& k;
    int suspendDepth = 0;
    void dispatchMenu(int item);
    // Opens folder in the file manager, or tells the user and the log why not.
    void openFolderOrTell(const QString& folder);
    void dispatchControl(const PassEvent& event);
};

// Keeps the pass suspended for the life of the guard.
class PassSuspension {
public:
    explicit PassSuspension(Shell& s) : s(s) { s.suspend(); }
    ~PassSuspension() { s.resume(); }
    PassSuspension(const PassSuspension&) = delete;
    PassSuspension& operator=(const PassSuspension&) = delete;
private:
    Shell& s;
};
