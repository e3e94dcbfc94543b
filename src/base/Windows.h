#pragma once
#include <QString>
#include <QVector>

// A window's outer left and top edge on the screen and its inner size.
struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowRect&) const = default;
};

// Opens the player's other windows. Blocking windows run their own loop and
// return when closed; the caller keeps the pass suspended meanwhile.
class Windows {
public:
    virtual ~Windows() = default;
    virtual void openRestoreDialog() = 0;   // blocking
    virtual void openListEdit() = 0;        // blocking
    virtual void openKeyConfig() = 0;       // blocking
    virtual void openInfo() = 0;            // blocking

    // The song selection window stays open beside the main window; it only
    // shows what SongSelection decides. Creates it hidden with an empty list,
    // replacing one already open; false when it cannot be created.
    virtual bool openSongSelection() = 0;
    virtual void closeSongSelection() = 0;  // nothing when not open
    virtual bool songSelectionOpen() const = 0;
    // Moves and sizes it (outer left/top, inner size) and shows it.
    virtual void placeSongSelection(const WindowRect& r) { (void)r; }
    // Its place and size; x and y are Unknown where the platform does not
    // tell programs where their windows are (Wayland).
    virtual WindowRect songSelectionGeometry() const { return {}; }
    // The outer top edge of a window that lies just below the main window's
    // frame, or Unknown.
    static constexpr int Unknown = -2147483647 - 1;
    virtual int belowMainWindow() const { return Unknown; }
    virtual QString songSelectionSearchText() const { return {}; }
    // The list shows rows (a shared copy of the caller's list, no item per row).
    virtual void showSongRows(const QVector<QString>& rows) { (void)rows; }
    // Selects row (-1: no selection) and gives the list the keyboard focus.
    virtual void selectSongRow(int row) { (void)row; }
    virtual int selectedSongRow() const { return -1; }  // -1: none
    // List panel beside the main window: the ">"/"<" button.
    virtual void toggleListPanel() {}
    // Any event of the panel's list; true when it loaded or deleted a list.
    virtual bool listPanelEvent(int subType) { (void)subType; return false; }
    // Lists the current list's folder again when the panel is open: after a
    // list was saved under a new name or another list was loaded.
    virtual void refreshListPanel() {}

    // The black window: frameless, on top, covering the primary screen; its
    // key-downs and its close request go to the pass as window 101. Opening
    // returns false when it could not be opened.
    virtual bool openBlackWindow() { return false; }
    virtual void closeBlackWindow() {}
    virtual bool blackWindowOpen() const { return false; }
};
