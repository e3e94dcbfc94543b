#include "dialogs/QtWindows.h"

#include "dialogs/ListEditWindow.h"
#include "dialogs/MainWindow.h"
#include "dialogs/RestoreDialog.h"
#include "shell/Kalvo.h"

void QtWindows::openRestoreDialog() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    runRestoreDialog(*k, owner);
}

void QtWindows::openListEdit() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    runListEdit(*k, owner);
}

ListPanel* QtWindows::listPanel() {
    if (!panel && k) {
        auto* main = dynamic_cast<MainWindow*>(owner);
        if (!main) return nullptr;
        panelView = std::make_unique<ListPanelAdapter>(*main);
        panel = std::make_unique<ListPanel>(*k, *panelView);
    }
    return panel.get();
}

void QtWindows::toggleListPanel() {
    if (ListPanel* p = listPanel()) p->ListenPanelUmschalten();
}

bool QtWindows::listPanelEvent(int subType) {
    ListPanel* p = listPanel();
    return p && p->ListenPanelEreignis(subType);
}
