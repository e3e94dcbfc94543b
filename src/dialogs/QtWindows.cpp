#include "dialogs/QtWindows.h"
#include "dialogs/WindowPlacement.h"

#include <QLineEdit>

#include "dialogs/InfoWindow.h"
#include "dialogs/BlackWindow.h"
#include "dialogs/KeyConfigWindow.h"
#include "dialogs/ListEditWindow.h"
#include "dialogs/MainWindow.h"
#include "dialogs/RestoreDialog.h"
#include "dialogs/SongSelectionWindow.h"
#include "shell/Kalvo.h"

void QtWindows::openRestoreDialog() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    runRestoreDialog(*k, owner);
}

void QtWindows::openInfo() {
    if (!k) return;
    PassSuspension blocking(k->shell);
    InfoWindow window(owner, k->shell.layoutScale);
    Info(*k, window, packedInfoText());
}

bool QtWindows::openSongSelection() {
    closeSongSelection();
    const float scale = k ? k->shell.layoutScale : 1.0f;
    selection = new SongSelectionWindow(owner, scale, [this](const PassEvent& e) {
        if (sink) sink(e);
    });
    return true;
}

void QtWindows::closeSongSelection() {
    if (!selection) return;
    // Closing may be asked from inside the window's own close event.
    SongSelectionWindow* w = selection;
    selection = nullptr;
    w->hide();
    w->deleteLater();
}

void QtWindows::placeSongSelection(const WindowRect& r) {
    if (!selection) return;
    // Until the window manager has framed a new window, a place given to it
    // is taken as its inner area's. The main window wears the same kind of
    // frame: its margins turn the outer place into the inner one.
    QPoint margins;
    if (!selection->isVisible() && owner && owner->isVisible())
        margins = owner->geometry().topLeft() - owner->frameGeometry().topLeft();
    selection->move(r.x + margins.x(), r.y + margins.y());
    selection->resize(r.width, r.height);
    selection->show();
}

int QtWindows::belowMainWindow() const {
    if (!owner || !owner->isVisible()) return Unknown;
    return owner->frameGeometry().bottom() + 1;
}

WindowRect QtWindows::songSelectionGeometry() const {
    if (!selection) return {};
    if (!windowPlacesKnown()) return {Unknown, Unknown, selection->width(), selection->height()};
    return {selection->x(), selection->y(), selection->width(), selection->height()};
}

QString QtWindows::songSelectionSearchText() const { return selection ? selection->search->text() : QString(); }

void QtWindows::showSongRows(const QVector<QString>& rows) {
    if (selection) selection->showRows(rows);
}

void QtWindows::selectSongRow(int row) {
    if (selection) selection->selectRow(row);
}

int QtWindows::selectedSongRow() const { return selection ? selection->selectedRow() : -1; }

SongSelectionWindow* QtWindows::songSelectionWindow() const { return selection; }
QtWindows::~QtWindows() {
    delete selection.data();
    delete black;
}

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

void QtWindows::refreshListPanel() {
    if (panel) panel->refresh();
}

bool QtWindows::listPanelEvent(int subType) {
    ListPanel* p = listPanel();
    return p && p->ListenPanelEreignis(subType);
}
