#include "library/ListPanel.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

#include "base/FileOps.h"
#include "base/PassEvent.h"
#include "base/PreferenceFile.h"
#include "shell/Kalvo.h"

QString listDirectoryOf(const QString& fileName) {
    QString dir = fileName.left(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

QStringList listFilesIn(const QString& directory) {
    return QDir(directory).entryList({QStringLiteral("*.txt")}, QDir::Files | QDir::Hidden,
                                     QDir::Name | QDir::IgnoreCase);
}

bool looksLikeList(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists() || info.size() == 0) return true;
    PreferenceFile file;
    file.openPreferences(fileName);
    const bool list = file.selectGroup(QStringLiteral("Kalvo")) || file.selectGroup(QStringLiteral("Pfade")) ||
                      file.selectGroup(QStringLiteral("Lieder"));
    file.closePreferences();
    return list;
}

QString ListPanel::listDirectory() const { return listDirectoryOf(k.library.listFileName); }

void ListPanel::ListenPanelUmschalten() {
    const int base = k.shell.mainBaseWidth;
    if (panelOpen) {
        panelOpen = false;
        view.setToggleCaption(QStringLiteral(">"));
        view.setInnerWidth(base);
        return;
    }
    panelOpen = true;
    view.setToggleCaption(QStringLiteral("<"));
    const QString dir = listDirectory();
    view.showListFiles(dir, listFilesIn(dir));
    view.setInnerWidth(base + int(std::lround(PanelWidth * k.shell.layoutScale)));
}

void ListPanel::refresh() {
    if (!panelOpen) return;
    const QString dir = listDirectory();
    view.showListFiles(dir, listFilesIn(dir));
}

bool ListPanel::ListenPanelEreignis(int subType) {
    bool handled = false;
    if (subType == SubDoubleClick || subType == SubRightClick) {
        handled = true;
        const QString name = view.selectedName();
        if (!name.isEmpty()) {
            const QString full = listDirectory() + name;
            if (subType == SubDoubleClick) load(full);
            else remove(full);
        }
    }
    // Keys must reach the main window again.
    if (view.listHasFocus()) view.focusListName();
    return handled;
}

void ListPanel::load(const QString& fullName) {
    // A text file that is no list would become the current list and be
    // overwritten by the next save: it is not loaded.
    if (!looksLikeList(fullName)) {
        k.shell.LogLine(QStringLiteral("_ListenPanelEreignis: keine Liste, nicht geladen: ") + fullName);
        k.shell.ShowMessage(QStringLiteral("Keine Kalvo-Liste - nicht geladen: ") + fullName);
        return;
    }
    k.library.ListeLaden(fullName);
}

void ListPanel::remove(const QString& fullName) {
    if (!k.shell.ShowMessage(QStringLiteral("Löschen?\r\n\r\n") + fullName, true)) return;
    if (!k.s.files.removeFile(fullName))
        k.shell.LogLine(QStringLiteral("_ListenPanelEreignis: kann Liste nicht löschen: ") + fullName);
    if (fullName == k.library.listFileName) {
        // The list file name now names a directory, so no save (the quiet
        // one the stop may start, or the one at exit) re-creates the file.
        k.library.listFileName = listDirectory();
        k.settings.LetzteListenDatei = k.library.listFileName;
        k.playback.Stoppen();
        k.library.ListeLeeren();
    }
    const QString dir = listDirectory();
    view.showListFiles(dir, listFilesIn(dir));
}
