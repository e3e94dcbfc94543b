#include "trash/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "base/DiskWait.h"
#include "base/FileOps.h"
#include "base/MountPoints.h"
#include "base/PartialCopy.h"
#include "base/SafeMove.h"

namespace {
bool isTrustedOrigin(const QString& path) {
    if (!QDir::isAbsolutePath(path)) return false;
    for (const QStringView part : QStringView(path).split(QDir::separator()))
        if (part == u"." || part == u"..") return false;
    return true;
}
}  // namespace

const TrashEntry* Trash::entryWithKey(int32_t randomKey) const {
    for (const TrashEntry& e : TrashList)
        if (e.randomKey == randomKey) return &e;
    return nullptr;
}

QString Trash::refuseRestore(const TrashEntry& e) const {
    // The origin must be an absolute path without "." or ".." parts (a
    // hand-edited index must not send a file to a relative or ".." place)
    // and free; the move itself refuses to replace a file that appears
    // there meanwhile.
    if (e.originPath.isEmpty()) return QStringLiteral("Wiederherstellen: Ursprungsort unbekannt: ") + e.trashPath;
    if (!isTrustedOrigin(e.originPath))
        return QStringLiteral("Wiederherstellen: ungültiger Ursprungsort: ") + e.originPath;
    const QString folder = QFileInfo(e.originPath).absolutePath();
    // A share that stopped answering would hold the dialog in every look below.
    if (probePath(e.originPath) == PathKind::Silent)
        return QStringLiteral("Wiederherstellen: Ordner antwortet nicht: ") + folder;
    if (n.files.nameTaken(e.originPath)) return QStringLiteral("Wiederherstellen: Ursprungsort belegt: ") + e.originPath;
    if (!QFileInfo(folder).isDir()) return QStringLiteral("Wiederherstellen: Ordner fehlt: ") + folder;
    // A stick that is not plugged in leaves its bare mount-point folder on
    // the internal disk: the file would vanish under the stick once it is back.
    const QString top = fileSystemTop(folder);
    const bool otherFileSystem = e.originTop.isEmpty()
                                     ? isUnmountedMountPoint(folder, top, fstabMountPoints())
                                     : top != e.originTop;
    if (otherFileSystem)
        return QStringLiteral("Wiederherstellen: Datenträger nicht eingehängt: ") + folder;
    return {};
}

bool Trash::moveBack(int i) {
    const TrashEntry e = TrashList[i];
    const QString refused = refuseRestore(e);
    if (!refused.isEmpty()) {
        n.log(refused);
        return false;
    }
    const MoveResult r = moveWithoutLoss(n.files, e.trashPath, e.originPath);
    if (r == MoveResult::NotMoved) {
        n.log(QStringLiteral("Wiederherstellen: Konnte Datei nicht verschieben: ") + e.trashPath +
              QStringLiteral(" > ") + e.originPath);
        return false;
    }
    if (r == MoveResult::CopyKept)
        n.log(QStringLiteral("Konnte Datei nicht löschen: ") + e.trashPath);
    TrashList.removeAt(i);
    return true;
}

// A restore copies across file systems through ".<name>.kalvo-part" beside
// the origin (older versions wrote that through "..<name>.kalvo-part.kalvo-part"
// in turn); a process killed meanwhile leaves them there while the trashed
// file is still whole. Only these exact names of indexed origins are touched.
void Trash::removeRestoreLeftovers() {
    for (const TrashEntry& e : TrashList) {
        if (!isTrustedOrigin(e.originPath) || !isTrashFile(e.trashPath) || !n.files.isFile(e.trashPath))
            continue;
        const QString temp = partialCopyName(e.originPath);
        for (const QString& leftover : {temp, partialCopyName(temp)}) {
            const QFileInfo info(leftover);
            if (!info.isFile() || info.isSymLink()) continue;
            if (n.files.removeFile(leftover))
                n.log(QStringLiteral("CheckTrashFolder: unfertige Kopie entfernt: ") + leftover);
        }
    }
}

QString Trash::restoreMessage(const RestoreCounts& c) {
    return QString::number(c.restored) + QStringLiteral(" Datei(en) wiederhergestellt\r\n") +
           QString::number(c.failed) + QStringLiteral(" Datei(en) W.h. misslungen");
}

QString Trash::dateText(int32_t deletedAt) {
    return QDateTime::fromSecsSinceEpoch(deletedAt, Qt::UTC)
        .toString(QStringLiteral("dd.MM.yy   hh:mm:ss"));
}

int32_t Trash::trashMaxFromField(const QString& text) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok) return 0;
    return int32_t(std::clamp<qint64>(v, 0, 2147483647));
}

QVector<Trash::Row> Trash::rowsNewestFirst() const {
    QVector<Row> rows;
    rows.reserve(TrashList.size());
    for (auto it = TrashList.crbegin(); it != TrashList.crend(); ++it)
        rows.append(Row{dateText(it->deletedAt), it->originPath, it->randomKey});
    return rows;
}
