#pragma once
#include <QString>

// Opens the player's other windows. Blocking windows run their own loop and
// return when closed; the caller keeps the pass suspended meanwhile.
class Windows {
public:
    virtual ~Windows() = default;
    virtual void openRestoreDialog() = 0;   // blocking
    virtual void openListEdit() = 0;        // blocking
    virtual void openKeyConfig() = 0;       // blocking
    virtual void openInfo() = 0;            // blocking
    virtual void openSongSelection() = 0;   // stays open beside the main window
    virtual void closeSongSelection() = 0;
    virtual bool songSelectionOpen() const = 0;
    virtual void markSongInSelection(const QString& path) = 0;

    // Song selection window: fills its list with all present songs
    // (withSearch false) or with those matching its search text.
    virtual void fillSongSelection(bool withSearch) { (void)withSearch; }
    // Any event of the selection window's song list (double-click plays).
    virtual void songSelectionEvent(int subType) { (void)subType; }
    // List panel beside the main window: the ">"/"<" button.
    virtual void toggleListPanel() {}
    // Any event of the panel's list; true when it loaded or deleted a list.
    virtual bool listPanelEvent(int subType) { (void)subType; return false; }

    // The black window: frameless, on top, covering the primary screen; its
    // key-downs and its close request go to the pass as window 101. Opening
    // returns false when it could not be opened.
    virtual bool openBlackWindow() { return false; }
    virtual void closeBlackWindow() {}
    virtual bool blackWindowOpen() const { return false; }
};
