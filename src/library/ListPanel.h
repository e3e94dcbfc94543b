#pragma once
#include <QString>
#include <QStringList>

class Kalvo;

// The list panel beside the main window as the logic sees it: the ">"/"<"
// button, the file list of list files and the main window's inner width.
// The main window implements it; tests use a fake.
class ListPanelView {
public:
    virtual ~ListPanelView() = default;
    virtual void setToggleCaption(const QString& caption) = 0;
    virtual void setInnerWidth(int width) = 0;
    // The panel list shows these files of directory (names only).
    virtual void showListFiles(const QString& directory, const QStringList& names) = 0;
    // The name shown in the selected row; empty when no row is selected.
    virtual QString selectedName() const = 0;
    virtual bool listHasFocus() const = 0;
    // Moves the keyboard focus to the main window's list name field.
    virtual void focusListName() = 0;
};

// The ">" list panel: shows the "*.txt" files beside the current list file;
// a double-click loads one, a right-click (or "Del") deletes one after a
// question. The panel-open flag starts off and is not saved. UI thread.
class ListPanel {
public:
    static constexpr int PanelWidth = 210;

    ListPanel(Kalvo& k, ListPanelView& view) : k(k), view(view) {}

    bool isOpen() const { return panelOpen; }
    // Opens the panel (window widened by PanelWidth, list refilled) or
    // closes it (window back to its base width exactly).
    void ListenPanelUmschalten();
    // While open, lists the current list's folder again.
    void refresh();
    // SubDoubleClick loads the selected list, SubRightClick deletes it after
    // "Löschen?"; true for these two. Then the focus leaves the panel list.
    bool ListenPanelEreignis(int subType);

    // The directory of the current list file, ending with the separator.
    QString listDirectory() const;

private:
    Kalvo& k;
    ListPanelView& view;
    bool panelOpen = false;
    void load(const QString& fullName);
    void remove(const QString& fullName);
};

// Up to and including the last "/" of fileName, with "/" appended when it
// does not end with one.
QString listDirectoryOf(const QString& fileName);
// The "*.txt" files (extension in any case) of directory, sorted by name;
// folders are left out. Empty when the directory cannot be read.
QStringList listFilesIn(const QString& directory);
// Whether fileName can be taken as a list: empty, or holding at least one
// of the groups "Kalvo", "Pfade", "Lieder". A missing file counts as a list
// (loading it reports that it cannot be opened).
bool looksLikeList(const QString& fileName);
