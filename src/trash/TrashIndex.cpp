#include "trash/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <limits>

#include "base/DiskWait.h"
#include "base/FileOps.h"
#include "base/PreferenceFile.h"
#include "base/PartialCopy.h"
#include "base/Paths.h"
#include "base/RandomSource.h"

namespace {

TrashEntry parseEntry(const QString& value) {
    const QStringList f = value.split(QLatin1Char('|'));
    TrashEntry e;
    e.deletedAt = f.size() > 0 ? readAtoi(f[0]) : 0;
    e.randomKey = f.size() > 1 ? readAtoi(f[1]) : 0;
    e.originPath = f.size() > 2 ? f[2] : QString();
    e.trashPath = f.size() > 3 ? f[3] : QString();
    return e;
}

QString formatEntry(const TrashEntry& e) {
    const QChar bar = QLatin1Char('|');
    return QString::number(e.deletedAt) + bar + QString::number(e.randomKey) + bar + e.originPath +
           bar + e.trashPath;
}

// Creation time (modification time where the file system keeps none) as
// seconds on the local wall clock.
int32_t localCreationSeconds(const QFileInfo& info) {
    QDateTime t = info.birthTime();
    if (!t.isValid()) t = info.lastModified();
    const qint64 s = t.toSecsSinceEpoch() + t.offsetFromUtc();
    return int32_t(std::clamp<qint64>(s, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
}

// The index is saved through a temporary "_Kalvo-Trash.ini.XXXXXX" beside it
// that is renamed over it; a process killed in between leaves that name.
bool isIndexLeftover(const QString& name, const QString& index) {
    return name.size() == index.size() + 7 && name.startsWith(index + QLatin1Char('.'));
}

// Names the index cannot carry faithfully.
bool storableName(const QString& name) {
    return !name.contains(QLatin1Char('|')) && !name.contains(QLatin1Char('\r')) &&
           !name.contains(QLatin1Char('\n'));
}

}  // namespace

bool Trash::WriteTrashIndex() {
    const QString file = n.folder + indexFileName();
    PreferenceFile pf;
    bool ok = pf.createPreferences(file);
    if (ok) {
        for (int i = 0; i < TrashList.size(); ++i)
            pf.writeString(QString::number(i + 1), formatEntry(TrashList[i]));
    }
    ok = pf.closePreferences() && ok;
    if (!ok)
        n.log(QStringLiteral("WriteTrashIndex: Konnte Datei nicht schreiben: ") + file +
                        QStringLiteral(" (") + pf.errorString() + QLatin1Char(')'));
    return ok;
}

QString Trash::adoptionMessage(int count, const QString& trashFolder, int32_t trashMax) {
    return QStringLiteral("Es wurden ") + QString::number(count) +
           QStringLiteral(" Datei(en) gefunden in:\r\n\r\n") + trashFolder + QStringLiteral("\r\n\r\n") +
           QStringLiteral("In diesem Verzeichnis werden maximal ") + QString::number(trashMax) +
           QStringLiteral(" Dateien vorbehalten...\r\n") +
           QStringLiteral("Bei nächsten Löschen durch Kalvo2 werden überzählige Dateien\r\n") +
           QStringLiteral("in diesem Verzeichnis unwiederbringlich gelöscht!\r\n\r\n") +
           QStringLiteral("Wenn Sie dort noch Daten wegkopieren wollen, sollten Sie dies JETZT tun!\r\n") +
           QStringLiteral("Benutzen Sie das Menü 'Datei - Kalvo Papierkorb öffnen'.\r\n\r\n") +
           QStringLiteral("Sie können die maximale Anzahl Dateien ändern:\r\n") +
           QStringLiteral("Benutzen Sie das Menü 'Datei - Dateien wiederherstellen'. Unten rechts\r\n") +
           QStringLiteral("können Sie die gewünschte Anzahl eintragen. Mit 'Fertig' wird dies\r\n") +
           QStringLiteral("übernommen...");
}

namespace {
// The file name of a trash path from another data folder. An index written
// on Windows names it after a drive letter with "\" between the folders; on
// Linux a "\" is an ordinary name character, so only such paths split there.
QString foreignFilePart(const QString& path) {
    const bool windowsPath = path.size() > 2 && path[0].isLetter() && path[1] == QLatin1Char(':') &&
                             path[2] == QLatin1Char('\\');
    return windowsPath ? path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1) : filePart(path);
}

// Whether a trash path names a file. An index may name files outside the
// trash folder (an older data folder, perhaps on a share): those are looked
// at with a bound, and one that does not answer counts as not there.
bool trashFileThere(FileOps& files, const QString& trashFolder, const QString& path) {
    if (!path.startsWith(trashFolder) && probePath(path) == PathKind::Silent) return false;
    return files.isFile(path);
}
}  // namespace

int Trash::CheckTrashFolder() {
    const QString folder = n.folder;
    TrashList.clear();

    PreferenceFile pf;
    if (pf.openPreferences(folder + indexFileName()) && pf.examineKeys()) {
        while (pf.nextKey()) TrashList.append(parseEntry(pf.keyValue()));
    }
    pf.closePreferences();

    // A line written twice names one trashed file once.
    QSet<QString> seen;
    TrashList.erase(std::remove_if(TrashList.begin(), TrashList.end(),
                                   [&](const TrashEntry& e) {
                                       const QString id = formatEntry(e);
                                       if (seen.contains(id)) return true;
                                       seen.insert(id);
                                       return false;
                                   }),
                    TrashList.end());

    QSet<QString> known;
    for (const TrashEntry& e : TrashList) known.insert(e.trashPath);

    // An index written before the data folder moved names the files in the
    // old folder: such an entry follows its file into this folder.
    for (TrashEntry& e : TrashList) {
        if (trashFileThere(n.files, folder, e.trashPath) && isTrashFile(e.trashPath)) continue;
        const QString here = folder + foreignFilePart(e.trashPath);
        if (here == e.trashPath || known.contains(here) || !isTrashFile(here) ||
            !n.files.isFile(here) || isPartialCopyName(filePart(here)))
            continue;
        e.trashPath = here;
        known.insert(here);
    }

    removeRestoreLeftovers();

    int adopted = 0;
    // An empty folder name would list the working folder: nothing to adopt then.
    const QFileInfoList files =
        folder.isEmpty() ? QFileInfoList()
                         : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System |
                                                          QDir::NoDotAndDotDot,
                                                      QDir::Name);
    for (const QFileInfo& info : files) {
        const QString name = info.fileName();
        const QString path = folder + name;
        if (!n.files.isFile(path) || known.contains(path)) continue;
        if (name.endsWith(QLatin1String(".ini"))) continue;
        if (isPartialCopyName(name) || isIndexLeftover(name, indexFileName())) {
            // An interrupted copy (its source still exists) or index save
            // (the index itself is still whole).
            n.files.removeFile(path);
            continue;
        }
        if (!storableName(name)) {
            n.log(QStringLiteral("CheckTrashFolder: Dateiname nicht speicherbar: ") + path);
            continue;
        }
        TrashEntry e;
        e.deletedAt = localCreationSeconds(info);
        e.randomKey = n.random.nextKey();
        e.trashPath = path;
        TrashList.append(e);
        known.insert(path);
        ++adopted;
    }

    if (!TrashList.isEmpty()) {
        TrashList.erase(std::remove_if(TrashList.begin(), TrashList.end(),
                                       [&](const TrashEntry& e) {
                                           return !isTrashFile(e.trashPath) ||
                                                  isPartialCopyName(filePart(e.trashPath)) ||
                                                  !trashFileThere(n.files, folder, e.trashPath);
                                       }),
                        TrashList.end());
        sortList();
    }
    return adopted;
}
