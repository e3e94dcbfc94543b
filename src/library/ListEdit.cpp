#include "library/ListEdit.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "base/DiskWait.h"
#include "base/Paths.h"
#include "shell/Kalvo.h"

namespace {
const QChar kSep = QLatin1Char('/');

QString trimmedOfSeparator(const QString& path) {
    QString p = path;
    if (p.endsWith(kSep)) p.chop(1);
    return p;
}
}  // namespace

QString parentDirectory(const QString& directoryPath) {
    const QString p = trimmedOfSeparator(directoryPath);
    const qsizetype i = p.lastIndexOf(kSep);
    return i < 0 ? QString() : p.left(i + 1);
}

QString lastComponent(const QString& directoryPath) {
    const QString p = trimmedOfSeparator(directoryPath);
    return p.mid(p.lastIndexOf(kSep) + 1);
}

bool storableDirectory(const QString& path) {
    if (path.contains(QLatin1Char('|')) || path.contains(QLatin1Char('\r')) || path.contains(QLatin1Char('\n')))
        return false;
    // A name that is not UTF-8 on disk comes back decoded with replacement
    // characters and names no existing folder.
    return QDir::isAbsolutePath(path) && probePath(path) == PathKind::Folder;
}

QString usableExplorerPath(const QString& path, const QString& home) {
    QString p = path;
    // A folder that does not answer is passed over like one that has gone.
    while (!p.isEmpty() && QDir::isAbsolutePath(p)) {
        if (probePath(p) == PathKind::Folder) return AddBackslash(p);
        p = parentDirectory(p);
    }
    return AddBackslash(home);
}

QString ListEdit::explorerPath() const { return k.settings.LetzterPfad; }

QString ListEdit::explorerPatterns() const {
    return songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern);
}

void ListEdit::setExplorerPath(const QString& directory) {
    // The explorer looks at the folder and at each entry in it on the UI
    // thread and its own: a folder that does not answer is not shown, one
    // with an entry that does not answer is shown and named in the log.
    const PathKind answer = probePath(directory);
    if (answer == PathKind::Silent || probeFolderEntries(directory) == PathKind::Silent)
        k.shell.LogLine(QStringLiteral("Explorer: Verzeichnis antwortet nicht: ") + directory);
    if (answer == PathKind::Silent) return;
    k.settings.LetzterPfad = directory;
    view.setExplorerPathText(directory);
    view.showExplorer(directory, explorerPatterns());
}

void ListEdit::ListeBearbeiten() {
    if (!view.openWindow()) {
        k.shell.ShowMessage(QStringLiteral("Fehler: Konnte WndChldListe-Fenster nicht öffnen!"));
        return;
    }
    // Before the first use, and when the folder has gone, the explorer
    // starts at home or at the nearest folder that still exists.
    setExplorerPath(usableExplorerPath(explorerPath(), QDir::homePath()));
    PfadlisteZeigen();
    view.runWindow();
    k.library.ListeAbgleichen();
    k.library.ListeSpeichern(false);
    k.playback.LiedBestimmen(QString());
    k.library.showSilentFolders();
    view.closeWindow();
}

bool ListEdit::PfadInListe(const QString& path) {
    const qsizetype i = k.library.pathList.raw().indexOf(path);
    if (i < 0) return false;
    k.library.pathList.select(int(i));
    return true;
}

void ListEdit::PfadlisteZeigen() {
    const QVector<QString>& paths = k.library.pathList.raw();
    view.setPathLines(QStringList(paths.begin(), paths.end()));
}

void ListEdit::VerzeichnisseHinzufuegen() {
    const QString base = explorerPath();
    if (base.isEmpty()) return;
    PathList& list = k.library.pathList;
    // A set stands in for PfadInListe: a folder of 10,000 subfolders is added
    // in one pass instead of 10,000 list walks.
    QSet<QString> present(list.raw().begin(), list.raw().end());
    QStringList refused;
    bool added = false;
    for (const ListEditView::ExplorerRow& row : view.explorerRows()) {
        if (!row.directory || !row.selected || row.name == QLatin1String("..")) continue;
        const QString path = base + row.name + kSep;
        if (present.contains(path)) continue;
        if (!storableDirectory(path)) {
            refused << path;
            continue;
        }
        list.append(path);
        present.insert(path);
        added = true;
    }
    if (added) {
        std::stable_sort(list.raw().begin(), list.raw().end(), pathLess);
        PfadlisteZeigen();
    }
    if (!refused.isEmpty()) {
        k.shell.LogLine(QStringLiteral("_VerzeichnisseHinzufuegen: nicht hinzugefügt: ") +
                        refused.join(QStringLiteral(", ")));
        k.shell.ShowMessage(QStringLiteral("Nicht hinzugefügt - dieser Name kann nicht in einer Liste stehen "
                                           "(Zeichen | oder Zeilenumbruch, oder kein UTF-8):\r\n") +
                            refused.join(QStringLiteral("\r\n")));
    }
}

void ListEdit::VerzeichnisseEntfernen() {
    for (const QString& line : view.selectedPathLines())
        if (PfadInListe(line)) k.library.pathList.deleteCurrent();
    PfadlisteZeigen();
}

void ListEdit::PfadlisteEreignis() {
    const QStringList lines = view.selectedPathLines();
    if (!lines.isEmpty()) {
        const QString parent = parentDirectory(lines.first());
        if (!parent.isEmpty()) setExplorerPath(usableExplorerPath(parent, QDir::homePath()));
    }
    const QString shown = explorerPath();
    if (shown.isEmpty() || lines.isEmpty()) return;
    const QVector<ListEditView::ExplorerRow> rows = view.explorerRows();
    for (const QString& line : lines) {
        // Only directories that lie directly in the shown one are marked.
        if (parentDirectory(line) != shown) continue;
        const QString name = lastComponent(line);
        for (int i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name) {
                view.markExplorerRow(i);
                break;
            }
        }
    }
}

void ListEdit::ExplorerEreignis() {
    const QString shown = view.explorerDirectory();
    if (shown.isEmpty()) return;
    k.settings.LetzterPfad = shown;
    view.setExplorerPathText(shown);
}

void ListEdit::ExplorerPfadWaehlen() {
    const QString chosen = view.chooseDirectory(QStringLiteral("Anderer Explorer-Pfad wählen:"), explorerPath());
    if (chosen.isEmpty()) return;
    setExplorerPath(AddBackslash(chosen));
}
