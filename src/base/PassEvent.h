#pragma once

// Window numbers the dispatch knows.
enum WindowNumber : int {
    MainWindowNo = 1,
    RestoreDialogNo = 45,
    KeyConfigNo = 55,
    InfoWindowNo = 95,
    BlackWindowNo = 101,
    SongSelectionNo = 31,
};

// Menu item numbers of the main menu.
enum MenuItem : int {
    MenuTrashOpen = 1,       // "Kalvo Papierkorb öffnen"
    MenuRestore = 2,         // "Dateien wiederherstellen"
    MenuQuit = 3,            // "Beenden"
    MenuListOpen = 4,        // "Liste öffnen"
    MenuListNew = 5,         // "Neue Liste"
    MenuListSaveAs = 6,      // "Speichern als"
    MenuListEdit = 7,        // "Bearbeiten"
    MenuNewRandom = 8,       // "Zufallswerte neu"
    MenuInfo = 9,            // "Info"
    MenuKeyConfig = 10,      // "Tasten Konfig."
    MenuUndoDelete = 11,     // "Letztes Löschen rückgängig"
};

// Control numbers of the main window.
enum MainControl : int {
    CtlListLabel = 2, CtlListName = 3, CtlPath = 4, CtlPathButton = 5, CtlSongButton = 6,
    CtlSong = 7, CtlCounter = 8, CtlPanelToggle = 9, CtlPanelList = 10, CtlPanelDel = 11,
    CtlTime = 12, CtlPosition = 13, CtlVolumeLabel = 14, CtlVolume = 15, CtlPlay = 16,
    CtlStop = 17, CtlPrev = 18, CtlJumpBack = 19, CtlJumpForward = 20, CtlNext = 21,
    CtlDelete = 22, CtlBlackscreen = 23, CtlWecken = 24, CtlWeckenH = 25, CtlWeckenM = 26,
    CtlSnoozeLabel = 27, CtlSnooze = 28, CtlFortf = 29, CtlZufall = 30,
};

// Controls of the song selection window that the dispatch handles.
enum SongSelectionControl : int {
    CtlSelRefresh = 32,   // "Aktualisieren"
    CtlSelFind = 34,      // "Finde:"
    CtlSelList = 36,      // the song list
};

// One pass of the event loop gets at most one event; a timeout has none.
struct PassEvent {
    // Mpris: a desktop media-player request; Remote: an action sent by
    // "kalvo2 --next" and its kin (code: the RemoteAction)
    enum class Kind { Timeout, Close, Size, Menu, Control, KeyDown, Hotkey, Input, Mpris, Remote };
    Kind kind = Kind::Timeout;
    int window = 0;       // window number
    int item = 0;         // menu item or control number
    int subType = 0;      // control event sub-type (click, double-click, ...)
    int code = 0;         // virtual key code (KeyDown) or hotkey id (Hotkey)
    int rawMessage = 0;   // raw message number for the monitor step; 0 after a timeout
    bool autoRepeat = false;  // KeyDown, Hotkey: a held key repeating

    // A user action on control item of window.
    static PassEvent control(int window, int item, int subType) {
        PassEvent e;
        e.kind = Kind::Control;
        e.window = window;
        e.item = item;
        e.subType = subType;
        return e;
    }
};

// Sub-types of control events.
enum ControlSubType : int {
    SubClick = 0,
    SubRightClick = 1,
    SubDoubleClick = 2,
    SubChange = 768,
};

// Raw message numbers of input events, as the monitor step knows them.
enum RawMessage : int {
    WmKeyDown = 0x100,
    WmKeyUp = 0x101,
    WmMouseMove = 0x200,
    WmLButtonDown = 0x201,
    WmLButtonUp = 0x202,
    WmRButtonDown = 0x204,
    WmRButtonUp = 0x205,
    WmMouseWheel = 0x20A,
};
