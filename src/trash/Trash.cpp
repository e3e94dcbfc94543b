#include "trash/Trash.h"

#include <QFileInfo>
#include <algorithm>
#include <limits>

#include "base/Clock.h"
#include "base/FileOps.h"
#include "base/MountPoints.h"
#include "shell/Kalvo.h"
#include "base/Messages.h"
#include "base/RandomSource.h"
#include "base/SafeMove.h"

namespace {

int32_t toInt32(qint64 v) {
    return int32_t(std::clamp<qint64>(v, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
}

}  // namespace

int Trash::effectiveTrashMax() const {
    // An empty or broken limit must never empty the trash.
    return k.settings.TrashMax < 1 ? std::numeric_limits<int>::max() : k.settings.TrashMax;
}

QString Trash::freeTrashName(const QString& trashFolder, const QString& source) const {
    const QString name = filePart(source);
    QString target = trashFolder + name;
    // The extension is taken from the file name only, never from the folder.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot < 0 ? QString() : name.mid(dot);
    const QString stem = target.left(target.size() - suffix.size());
    for (qint64 counter = 1; k.s.files.nameTaken(target); ++counter)
        target = stem + QString::number(counter) + suffix;
    return target;
}

bool Trash::isTrashFile(const QString& path) const {
    const QString& folder = k.shell.TrashFolder;
    if (folder.isEmpty() || !path.startsWith(folder)) return false;
    const QString name = path.mid(folder.size());
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != indexFileName();
}

void Trash::sortList() {
    std::stable_sort(TrashList.begin(), TrashList.end(),
                     [](const TrashEntry& a, const TrashEntry& b) { return a.deletedAt < b.deletedAt; });
}

// Drops the oldest entries until one more fits. The file just trashed (keep)
// and files another entry still names are never deleted; nor is anything
// outside the trash folder.
void Trash::applySurplusRule(const QString& keep) {
    const int max = effectiveTrashMax();
    while (!TrashList.isEmpty() && TrashList.size() >= max) {
        const TrashEntry old = TrashList.takeFirst();
        const bool shared = std::any_of(TrashList.cbegin(), TrashList.cend(),
                                        [&](const TrashEntry& e) { return e.trashPath == old.trashPath; });
        if (!shared && old.trashPath != keep && isTrashFile(old.trashPath))
            k.s.files.removeFile(old.trashPath);
    }
}

void Trash::DeleteCurrentSong(bool withSound) {
    PlaybackController& pb = k.playback;
    SongList& list = k.library.songList;

    // The song heard is the one deleted, whatever the song field names; with
    // none, the song that would play next. Never a path that a failed start
    // or a determination without playing left in currentSong.
    const QString heard = pb.heardSong();
    const bool wasLoaded = !heard.isEmpty();
    if (!wasLoaded) pb.LiedBestimmen(QString());
    const int index = list.index();
    const QString source = wasLoaded ? heard : pb.currentSong;

    pb.Stoppen();
    k.s.clock.sleepMs(10);

    // Without a trash folder nothing is moved (never into the working folder).
    const bool movable = !source.isEmpty() && !k.shell.TrashFolder.isEmpty();
    const QString target = movable ? freeTrashName(k.shell.TrashFolder, source) : k.shell.TrashFolder;
    const QString originTop = movable ? fileSystemTop(QFileInfo(source).absolutePath()) : QString();
    const MoveResult moved = movable ? moveWithoutLoss(k.s.files, source, target) : MoveResult::NotMoved;
    if (moved == MoveResult::NotMoved) {
        k.shell.LogLine(QStringLiteral("Konnte Datei nicht verschieben: ") + source +
                        QStringLiteral(" > ") + target);
        k.s.messages.errorBeep();
        return;
    }
    if (moved == MoveResult::CopyKept) {
        // The source is whole: the copy goes again, so a folder that refuses
        // deletes does not fill the trash with untracked copies.
        k.s.files.removeFile(target);
        k.shell.LogLine(QStringLiteral("Konnte Datei nicht löschen: ") + source);
        k.s.messages.errorBeep();
        const QString folder = QFileInfo(source).absolutePath();
        k.shell.ShowSongText(QStringLiteral("Kann ") + filePart(source) + QStringLiteral(" nicht löschen") +
                             (folderWritable(folder) ? QString() : QStringLiteral(" - Ordner schreibgeschützt")));
        return;
    }

    if (withSound) {
        pb.LoeschTon();
        k.s.clock.sleepMs(500);
    }
    k.shell.ShowSongText(QString());

    applySurplusRule(target);

    // The entry of the moved file: normally the one under the cursor. A song
    // played by path may not be it; then the list entry of that path, if any.
    SongEntry* song = list.select(index);
    if (!song || song->filePath != source) {
        song = nullptr;
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).filePath == source) {
                song = list.select(i);
                break;
            }
        }
    }

    TrashEntry entry;
    entry.deletedAt = toInt32(k.s.clock.localSeconds());
    entry.randomKey = song ? song->randomKey : k.s.random.nextKey();
    entry.originPath = song ? song->filePath : source;
    entry.trashPath = k.shell.TrashFolder + filePart(target);
    entry.originTop = originTop;
    TrashList.append(entry);
    sortList();
    WriteTrashIndex();
    pushUndo(entry);

    if (song) list.deleteCurrent();
    if (wasLoaded) pb.Spielen(QString());
}
