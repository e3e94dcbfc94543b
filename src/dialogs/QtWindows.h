#pragma once
#include <QPointer>
#include <functional>
#include <memory>

#include "base/PassEvent.h"
#include "base/Windows.h"
#include "dialogs/ListPanelAdapter.h"
#include "library/ListPanel.h"

class Kalvo;
class QWidget;
class SongSelectionWindow;
class BlackWindow;

// The player's other windows on Qt. Blocking windows run inside a pass
// suspension. Windows not built yet return at once.
class QtWindows : public Windows {
public:
    explicit QtWindows(QWidget* owner) : owner(owner) {}
    ~QtWindows() override;
    // The context exists only after the services: attach it before use.
    void attach(Kalvo& kalvo) { k = &kalvo; }
    // Where the windows that stay open beside the main window (song
    // selection, black window) send their events for the pass.
    void setEventSink(std::function<void(const PassEvent&)> sink) { this->sink = std::move(sink); }

    void openRestoreDialog() override;
    void openListEdit() override;
    void openKeyConfig() override;
    bool openBlackWindow() override;
    void closeBlackWindow() override;
    bool blackWindowOpen() const override;
    void toggleListPanel() override;
    bool listPanelEvent(int subType) override;
    void refreshListPanel() override;
    // The panel logic on the owner's panel widgets (the owner must be the
    // MainWindow); null before attach.
    ListPanel* listPanel();
    void openInfo() override;
    bool openSongSelection() override;
    void closeSongSelection() override;
    bool songSelectionOpen() const override { return !selection.isNull(); }
    void placeSongSelection(const WindowRect& r) override;
    WindowRect songSelectionGeometry() const override;
    int belowMainWindow() const override;
    QString songSelectionSearchText() const override;
    void showSongRows(const QVector<QString>& rows) override;
    void selectSongRow(int row) override;
    int selectedSongRow() const override;
    // The open song selection window, or null (for tests).
    SongSelectionWindow* songSelectionWindow() const;

private:
    QWidget* owner;
    Kalvo* k = nullptr;
    std::function<void(const PassEvent&)> sink;
    QPointer<SongSelectionWindow> selection;
    int askedHeight = 0;  // the song selection window's, by its place
    int cutHeight = -1;   // what the screen left of it; -1: not cut
    BlackWindow* black = nullptr;  // owned; open while not null
    std::unique_ptr<ListPanelAdapter> panelView;
    std::unique_ptr<ListPanel> panel;
};
