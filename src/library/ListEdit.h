#pragma once
#include <QString>
#include <QStringList>
#include <QVector>

class Kalvo;

// The list edit window as the logic sees it: the directory list on the left,
// the explorer (a file browser of one directory) on the right. The window
// implements it and only connects its widgets; tests use a fake.
class ListEditView {
public:
    struct ExplorerRow {
        QString name;       // as shown; ".." for the parent
        bool directory = false;
        bool selected = false;
    };

    virtual ~ListEditView() = default;
    // Shows the window; false when it cannot be opened.
    virtual bool openWindow() = 0;
    // Runs the window's own loop until "OK" or a close request.
    virtual void runWindow() = 0;
    virtual void closeWindow() = 0;

    // Directory list: replaces all lines (clears the selection).
    virtual void setPathLines(const QStringList& lines) = 0;
    // Texts of the selected lines, top to bottom.
    virtual QStringList selectedPathLines() const = 0;

    virtual void setExplorerPathText(const QString& text) = 0;
    // The explorer shows directory (ending with the separator) with the
    // ";"-separated file patterns; marks and selection are cleared.
    virtual void showExplorer(const QString& directory, const QString& patterns) = 0;
    // The directory the explorer shows now, ending with the separator.
    virtual QString explorerDirectory() const = 0;
    // Rows in the order shown.
    virtual QVector<ExplorerRow> explorerRows() const = 0;
    // Writes "<<<" into the row's "Sel" column and selects the row.
    virtual void markExplorerRow(int row) = 0;
    // The platform's directory chooser; empty when cancelled.
    virtual QString chooseDirectory(const QString& prompt, const QString& start) = 0;
};

// What "Liste → Bearbeiten" decides: which directories make up PathList and
// where the explorer stands (the explorer path is the setting LetzterPfad).
// UI thread; ListeBearbeiten blocks while the window is open.
class ListEdit {
public:
    ListEdit(Kalvo& k, ListEditView& view) : k(k), view(view) {}

    // Opens the window and runs it; however it is left, reconciles the song
    // list with the disk, saves the list and determines the current song.
    void ListeBearbeiten();
    // True when a PathList element equals path exactly (case-sensitive); the
    // PathList cursor is then on it.
    bool PfadInListe(const QString& path);
    void PfadlisteZeigen();
    // "<<": appends the selected explorer directories not yet in PathList,
    // then sorts PathList in path order. Directories whose path the list file
    // cannot carry are refused with one message.
    void VerzeichnisseHinzufuegen();
    // ">>": removes the selected directory list lines from PathList.
    void VerzeichnisseEntfernen();
    // Directory list event: the explorer moves to the parent of the topmost
    // selected line and marks the selected directories that lie there.
    void PfadlisteEreignis();
    // Explorer event: the explorer path follows the explorer.
    void ExplorerEreignis();
    // "...": another explorer path from the directory chooser.
    void ExplorerPfadWaehlen();

    QString explorerPath() const;

private:
    Kalvo& k;
    ListEditView& view;
    void setExplorerPath(const QString& directory);
    QString explorerPatterns() const;
};

// The directory a list line lies in: path without its last component, with
// the separator ("/m/Musik/" for "/m/Musik/Rock/"); empty when there is none.
QString parentDirectory(const QString& directoryPath);
// The last component of a directory path ending with the separator.
QString lastComponent(const QString& directoryPath);
// Whether a directory path can stand in a list file and name the folder on
// disk: no "|", CR or LF, and an existing directory under exactly this name.
bool storableDirectory(const QString& path);
// An explorer path to start from: path itself when it is an existing
// directory, else its nearest existing parent, else home (all ending with
// the separator).
QString usableExplorerPath(const QString& path, const QString& home);
