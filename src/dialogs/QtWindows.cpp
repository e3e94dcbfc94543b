#include "dialogs/QtWindows.h"

#include <QLineEdit>

#include "dialogs/InfoWindow.h"
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

QtWindows::~QtWindows() { delete selection.data(); }

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
    selection->move(r.x, r.y);
    selection->resize(r.width, r.height);
    selection->show();
}

WindowRect QtWindows::songSelectionGeometry() const {
    if (!selection) return {};
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
