#include <QFile>
#include <QFileInfo>

#include "library/SongLibrary.h"

#include "base/Clock.h"
#include "base/FileDialogs.h"
#include "base/MainView.h"
#include "base/Windows.h"
#include "library/ListFile.h"
#include "shell/Kalvo.h"

namespace {
const QString kFilter = QStringLiteral("Text-Listen|*.txt");
}  // namespace

SongLibrary::SongLibrary(Kalvo& k) : k(k) {}
SongLibrary::~SongLibrary() = default;

void SongLibrary::ListeLeeren() {
    pathList.clear();
    songList.clear();
    k.playback.lastSongPath.clear();
    k.playback.offeredSong.clear();
    k.playback.lastSongKey = 0;
    k.s.view.setListName(QString());
    k.s.view.setPathText(QString());
    k.s.view.setSongText(QString());
    k.s.view.setTimeText(QString());
    k.s.view.setCounterText(QString());
}

void SongLibrary::ListeLaden(const QString& fileName) {
    k.playback.Stoppen();
    listFileName = fileName;
    listNeedsName = false;
    ListeLeeren();
    if (listFileName.isEmpty()) {
        listFileName = k.shell.dataFolder + QStringLiteral("Standard.txt");
        k.shell.ShowMessage(QStringLiteral("Erster Start - fügen Sie mindestens ein Verzeichnis zur Standardliste.\r\n"
                                           "Verwenden Sie dazu das Menü 'Liste - Bearbeiten.'\r\n"));
        QFile standard(listFileName);
        if (!standard.exists() && standard.open(QIODevice::WriteOnly | QIODevice::NewOnly)) standard.close();
    }
    k.settings.LetzteListenDatei = listFileName;
    k.s.view.setListName(filePart(listFileName));
    // The list may come from another folder: the panel lists that one now.
    k.s.windows.refreshListPanel();

    ListResume resume;
    if (!readListFile(listFileName, resume, pathList, songList)) {
        k.shell.ShowMessage(QStringLiteral("Err - Kann Liste nicht öffnen: ") + listFileName);
        return;
    }
    k.playback.lastSongPath = resume.lastSongPath;
    k.playback.lastSongKey = resume.lastSongKey;
    k.playback.volume = resume.volume;
    k.s.view.setVolumeSlider(k.playback.volume);

    ListeAbgleichen();
    k.playback.LiedBestimmen(QString());
    k.playback.currentSong.clear();
    showSilentFolders();
}

bool SongLibrary::ListeSpeichern(bool quiet) {
    if (pathList.isEmpty()) return true;
    if (listNeedsName) {
        // The old name belongs to the list that "Neue Liste" left.
        if (quiet) return false;
        const QString name = askListName();
        if (name.isEmpty()) return false;
        listFileName = name;
        listNeedsName = false;
        k.settings.LetzteListenDatei = listFileName;
        k.s.view.setListName(filePart(listFileName));
    }
    const QString failed = QStringLiteral("Fehler - Kann Liste nicht speichern: ") + listFileName;
    const bool newFile = !QFileInfo::exists(listFileName);
    QString why;
    if (!writeListFile(listFileName, ListResume{k.playback.lastSongPath, k.playback.lastSongKey, k.playback.volume},
                       pathList, songList, why)) {
        // A failed save keeps the old file byte for byte; the log says why.
        k.shell.LogLine(QStringLiteral("ListeSpeichern: Konnte Datei nicht schreiben: ") + listFileName +
                        QStringLiteral(" (") + why + QLatin1Char(')'));
        if (!quiet) k.shell.ShowMessage(failed);
        return false;
    }
    k.shell.lastListSave = k.s.clock.localSeconds();
    // An open list panel shows the new file at once.
    if (newFile) k.s.windows.refreshListPanel();
    return true;
}

QString SongLibrary::askListName() {
    QString name;
    {
        PassSuspension modal(k.shell);
        name = k.s.fileDialogs.saveFile(QStringLiteral("Liste speichern unter"), listFileName, kFilter);
    }
    if (!name.isEmpty() && name.right(4).toLower() != QLatin1String(".txt")) name += QStringLiteral(".txt");
    return name;
}

void SongLibrary::ListeSpeichernUnter(bool newList) {
    if (newList) ListeLeeren();
    const QString name = askListName();
    if (name.isEmpty()) {
        if (newList) listNeedsName = true;
        return;
    }
    const QString oldName = listFileName;
    const bool oldNeedsName = listNeedsName;
    listFileName = name;
    listNeedsName = false;
    if (!ListeSpeichern(false)) {
        // Nothing was written under the new name: the old one stays current.
        listFileName = oldName;
        listNeedsName = oldNeedsName;
        return;
    }
    k.settings.LetzteListenDatei = listFileName;
    k.s.view.setListName(filePart(listFileName));
    // The list may lie in another folder, whose lists the panel shows now.
    k.s.windows.refreshListPanel();
}

void SongLibrary::ListeOeffnen() {
    QString name;
    {
        PassSuspension modal(k.shell);
        name = k.s.fileDialogs.openFile(QStringLiteral("Liste öffnen"), listFileName, kFilter);
    }
    if (name.isEmpty()) return;
    ListeLaden(name);
}
