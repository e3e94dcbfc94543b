#include "trash/Trash.h"

#include <QFileInfo>
#include <algorithm>
#include <limits>

#include "base/Clock.h"
#include "base/FileOps.h"
#include "base/MountPoints.h"
#include "base/Paths.h"

namespace {

int32_t toInt32(qint64 v) {
    return int32_t(std::clamp<qint64>(v, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
}

}  // namespace

int Trash::effectiveTrashMax() const {
    // An empty or broken limit must never empty the trash.
    return isValidLimit(n.trashMax) ? n.trashMax : std::numeric_limits<int>::max();
}

QString Trash::freeTrashName(const QString& trashFolder, const QString& source) const {
    const QString name = filePart(source);
    QString target = trashFolder + name;
    // The extension is taken from the file name only, never from the folder.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot < 0 ? QString() : name.mid(dot);
    const QString stem = target.left(target.size() - suffix.size());
    for (qint64 counter = 1; n.files.nameTaken(target); ++counter)
        target = stem + QString::number(counter) + suffix;
    return target;
}

bool Trash::isTrashFile(const QString& path) const {
    const QString& folder = n.folder;
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
            n.files.removeFile(old.trashPath);
    }
}

Trash::MovedIn Trash::moveIn(const QString& source) {
    MovedIn moved;
    // Without a trash folder nothing is moved (never into the working folder).
    const bool movable = !source.isEmpty() && !n.folder.isEmpty();
    moved.target = movable ? freeTrashName(n.folder, source) : n.folder;
    if (movable) {
        moved.originTop = fileSystemTop(QFileInfo(source).absolutePath());
        moved.result = moveWithoutLoss(n.files, source, moved.target);
    }
    if (moved.result == MoveResult::NotMoved) {
        n.log(QStringLiteral("Konnte Datei nicht verschieben: ") + source + QStringLiteral(" > ") + moved.target);
    } else if (moved.result == MoveResult::CopyKept) {
        // The source is whole: the copy goes again, so a folder that refuses
        // deletes does not fill the trash with untracked copies.
        n.files.removeFile(moved.target);
        n.log(QStringLiteral("Konnte Datei nicht löschen: ") + source);
    }
    return moved;
}

void Trash::record(const MovedIn& moved, int32_t randomKey, const QString& origin) {
    applySurplusRule(moved.target);
    TrashEntry entry;
    entry.deletedAt = toInt32(n.clock.localSeconds());
    entry.randomKey = randomKey;
    entry.originPath = origin;
    entry.trashPath = n.folder + filePart(moved.target);
    entry.originTop = moved.originTop;
    TrashList.append(entry);
    sortList();
    WriteTrashIndex();
    pushUndo(entry);
}
