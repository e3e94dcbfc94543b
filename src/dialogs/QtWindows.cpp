#include "dialogs/QtWindows.h"
#include "dialogs/WindowPlacement.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include "dialogs/InfoWindow.h"
#include "dialogs/LayoutAnchors.h"
#include "dialogs/BlackWindow.h"
#include "dialogs/KeyConfigWindow.h"
#include "dialogs/ListEditWindow.h"
#include "dialogs/MainWindow.h"
#include "dialogs/RestoreDialog.h"
#include "dialogs/ScreenFit.h"
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
    QMargins frame;
    if (!selection->isVisible() && owner && owner->isVisible()) {
        const QRect inner = owner->geometry(), outer = owner->frameGeometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    }
    // Low on the screen the window keeps its place just below the main
    // window and gives up height instead, so its bottom edge stays in
    // sight; the height asked is the one kept for the next opening.
    QRect place(r.x + frame.left(), r.y + frame.top(), r.width, r.height);
    const int shortest = selection->shortestUsefulHeight();
    const QScreen* screen = QGuiApplication::screenAt(place.topLeft());
    if (!screen) screen = selection->screen();
    if (screen) {
        const QRect outer = fitHeightInto(place.marginsAdded(frame), screen->availableGeometry(),
                                          shortest + frame.top() + frame.bottom());
        place = outer.marginsRemoved(frame);
    }
    askedHeight = r.height;
    cutHeight = -1;
    auto cut = [this](int height) {
        AllowLowerWindow(selection, height);
        cutHeight = height;
    };
    if (place.height() < r.height) cut(place.height());
    // Just below the main window stays just below it as the window manager
    // frames it: the main window's frame is surely known by then.
    const QPoint asked = place.topLeft() - QPoint(frame.left(), frame.top());
    const bool belowOwner = r.y == belowMainWindow();
    auto wanted = [this, asked, belowOwner] {
        const int below = belowOwner ? belowMainWindow() : Unknown;
        return below != Unknown ? QPoint(asked.x(), below) : asked;
    };
    keepBottomOnScreen(selection, wanted, shortest, cut);
    selection->move(place.topLeft());
    selection->resize(place.size());
    selection->show();
}

int QtWindows::belowMainWindow() const {
    if (!owner || !owner->isVisible()) return Unknown;
    return owner->frameGeometry().bottom() + 1;
}

WindowRect QtWindows::songSelectionGeometry() const {
    if (!selection) return {};
    // A height cut to the screen and left so by the user is not the user's.
    const int height = selection->height() == cutHeight ? askedHeight : selection->height();
    if (!windowPlacesKnown()) return {Unknown, Unknown, selection->width(), height};
    return {selection->x(), selection->y(), selection->width(), height};
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
