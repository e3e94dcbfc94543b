// The scans of the song library: what the player gives the scan functions,
// the progress window, the order and the log of a long scan.
#include "base/Clock.h"
#include "base/ScanProgress.h"
#include "library/FolderScan.h"
#include "library/SongLibrary.h"
#include "shell/Kalvo.h"

ScanNeeds SongLibrary::scanNeeds() {
    return ScanNeeds{songPatternText(k.settings.TrackerModDateiPattern, k.settings.WinMediaDateiPattern),
                     k.shell.TrashFolder, k.s.random, k.s.progress,
                     [this](const QString& line) { k.shell.LogLine(line); }};
}

void SongLibrary::ListePfadeScannen(const QString& directory) { scanFolder(songList, directory, scanNeeds()); }

void SongLibrary::ListeAbgleichen() {
    if (!k.s.progress.open()) {
        k.shell.ShowMessage(QStringLiteral("Fehler - Kann Fenster WndPfadEru nicht öffnen!"));
        return;
    }
    PassSuspension quiet(k.shell);  // the scan blocks: no pass runs meanwhile
    const uint32_t started = k.s.clock.tickMs();

    reconcileSongs(pathList, songList, scanNeeds());
    LiederSortieren();

    const int32_t elapsed = tickDiff(k.s.clock.tickMs(), started);
    if (elapsed > 3000)
        k.shell.LogLine(QStringLiteral("Pfad eruiren Dauer ca: %1ms - Anzahl Dateien: %2").arg(elapsed).arg(songList.size()));
    k.s.progress.close();
}

void SongLibrary::showSilentFolders() {
    const QString silent = firstSilentFolder(pathList);
    if (!silent.isEmpty()) k.shell.ShowSongText(QStringLiteral("Verzeichnis antwortet nicht: ") + silent);
}
