#include "dialogs/QtWindows.h"

#include "dialogs/BlackWindow.h"
#include "dialogs/KeyConfigWindow.h"
#include "dialogs/ListEditWindow.h"
#include "dialogs/MainWindow.h"
#include "dialogs/RestoreDialog.h"
#include "shell/Kalvo.h"

void QtWindows::openRestoreDialog() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    runRestoreDialog(*k, owner);
}

QtWindows::~QtWindows() { delete black; }

void QtWindows::openKeyConfig() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    runKeyConfigWindow(*k, owner);
}

bool QtWindows::openBlackWindow() {
    if (black) return true;
    black = new BlackWindow([this](const PassEvent& e) {
        if (sink) sink(e);
    });
    if (black->open()) return true;
    delete black;
    black = nullptr;
    return false;
}

void QtWindows::closeBlackWindow() {
    if (!black) return;
    black->closeForGood();
    // Deleted later: the close may come from one of the window's own events.
    black->deleteLater();
    black = nullptr;
}

bool QtWindows::blackWindowOpen() const { return black != nullptr; }
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
