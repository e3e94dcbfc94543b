#pragma once
#include <QString>
#include <QVector>

class Kalvo;

// The decisions of the key configuration window over the live binding
// list: the captured key, "Neu", "Ändern", "Löschen", "Hoch", "Runter" and
// their refusals (shown as message boxes). The window only shows the rows and
// passes on what the user did. UI thread only.
class KeyConfig {
public:
    explicit KeyConfig(Kalvo& k) : k(k) {}

    // One row of the binding list, in list order.
    struct Row {
        int id;
        QString key;       // "Taste": the key name
        QString hk;        // "HK": the modifiers in decimal
        QString function;  // "Funktion": the function name, empty for none
    };
    QVector<Row> Rows() const;

    // Empty where the desktop or X11 gives the player system-wide keys (or
    // has not told yet); else the line the window shows: where keys work,
    // and that desktop shortcuts can run "kalvo2 --next" and its kin.
    QString SystemKeysNotice() const;

    // The window opened: the player's grabs are given back so that their
    // combinations reach the window. Close() registers the hotkeys anew.
    void Open();
    void Close();

    // A key-down in the window. F10 and keys pressed with ALT (the system's
    // keys) are refused with a message and leave capturedKey; every other key
    // is captured. True when captured.
    bool KeyDown(int virtualKey, bool altHeld);
    int capturedKey = 0;
    QString capturedKeyName() const;

    // What the window shows for a selected row (the binding with id).
    struct Selection {
        bool found = false;
        int modifiers = 0;
        int function = 0;  // 0: the drop-down goes to the first function
        // The trigger the desktop really uses for the binding's shortcut
        // (the user may have changed it there); "" when none or not known.
        QString desktopTrigger;
    };
    Selection Select(int id);

    // The buttons, with the modifiers of the boxes, the drop-down's function
    // (0 for none) and the selected row's id (0 for none). Each returns the id
    // of the binding to select afterwards, 0 for the first row, or -1 when it
    // refused (the list is unchanged then).
    int Neu(int modifiers, int function);
    int Aendern(int selectedId, int modifiers, int function);
    int Loeschen(int selectedId);
    int Hoch(int selectedId);
    int Runter(int selectedId);

private:
    Kalvo& k;
    int refuse(const QString& text);
    int indexOf(int id) const;
};
