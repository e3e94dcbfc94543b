#include "dialogs/QtWindows.h"

#include "dialogs/RestoreDialog.h"
#include "shell/Kalvo.h"

void QtWindows::openRestoreDialog() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    runRestoreDialog(*k, owner);
}
