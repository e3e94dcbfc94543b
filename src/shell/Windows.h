#pragma once

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
};
