#pragma once
#include <QDialog>

#include "remote/KeyConfig.h"

class Kalvo;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Tasten, Presenter Konfiguration": runs its own loop until closed, then
// registers the hotkeys anew. UI thread; blocks.
void runKeyConfigWindow(Kalvo& k, QWidget* owner);

// Window 55. Every key pressed while it has the focus is captured, whichever
// of its gadgets holds the focus; the decisions live in KeyConfig. Public for
// tests that drive it.
class KeyConfigWindow : public QDialog {
    Q_OBJECT
public:
    KeyConfigWindow(Kalvo& k, QWidget* owner);
    ~KeyConfigWindow() override;

    QTreeWidget* list = nullptr;      // 56: "Taste", "HK", "Funktion"; item data = id
    QPushButton* neu = nullptr;       // 57
    QPushButton* aendern = nullptr;   // 58
    QPushButton* loeschen = nullptr;  // 59
    QPushButton* hoch = nullptr;      // 60
    QPushButton* runter = nullptr;    // 61
    QLineEdit* keyField = nullptr;    // 63
    QLabel* desktopTrigger = nullptr; // 70: the trigger the desktop uses
    QCheckBox* alt = nullptr;         // 65
    QCheckBox* ctrl = nullptr;        // 66
    QCheckBox* shift = nullptr;       // 67
    QComboBox* function = nullptr;    // 69
    KeyConfig logic;

    // Rebuilds the rows and selects the binding with id (the first row when
    // no row has it).
    void FillBindingList(int id);
    int selectedId() const;
    int modifiers() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(int result);
    void rowSelected();
};
