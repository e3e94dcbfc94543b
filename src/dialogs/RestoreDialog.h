#pragma once
#include <QDialog>

#include "shell/RestoreSession.h"

class Kalvo;
class QWidget;
class QTreeWidget;
class QLineEdit;
class QPushButton;
class QPlainTextEdit;
class QLabel;

// "Kalvo2 Dateien wiederherstellen": runs its own loop until closed; on
// closing takes TrashMax from its field, stops a song played from the trash
// and determines the list's current song again. UI thread; blocks.
void runRestoreDialog(Kalvo& k, QWidget* owner);

// Window 45. Only connects its gadgets to a RestoreSession, which holds the
// decisions. Public for tests that drive it.
class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(Kalvo& k, QWidget* owner);

    QPlainTextEdit* info = nullptr;  // 46
    QTreeWidget* list = nullptr;     // 47: "Datum", "Datei"; item data = randomKey
    QPushButton* stop = nullptr;     // 48 "Stopp"
    QPushButton* back = nullptr;     // 49 "<<"
    QPushButton* forward = nullptr;  // 50 ">>"
    QPushButton* restore = nullptr;  // 51 "Wiederherstellen"
    QPushButton* done_ = nullptr;    // 52 "Fertig"
    QLabel* maxLabel = nullptr;      // 53
    QLineEdit* maxField = nullptr;   // 54: digits only
    RestoreSession session;

    // Fills the list from TrashList, newest first.
    void fill();

    void done(int result) override;  // closing steps: TrashMax, stop

private:
    Kalvo& k;
    void playSelected();
    void restoreSelected();
};
