#include "trash/Trash.h"

#include <QDateTime>
#include <QDir>
#include <algorithm>

#include "base/FileOps.h"
#include "shell/Kalvo.h"
#include "trash/SafeMove.h"

namespace {
bool isTrustedOrigin(const QString& path) {
    if (!QDir::isAbsolutePath(path)) return false;
    for (const QStringView part : QStringView(path).split(QDir::separator()))
        if (part == u"." || part == u"..") return false;
    return true;
}
}  // namespace

bool Trash::PlayFromTrash(int32_t randomKey) {
    for (const TrashEntry& e : TrashList) {
        if (e.randomKey != randomKey) continue;
        if (!k.s.files.isFile(e.trashPath)) return false;
        k.playback.Spielen(e.trashPath);
        return true;
    }
    return false;
}

bool Trash::restoreEntry(int i) {
    const TrashEntry e = TrashList[i];
    if (!moveBack(i)) return false;
    SongEntry* song = k.library.songList.add();
    song->filePath = e.originPath;
    song->randomKey = e.randomKey;
    return true;
}

bool Trash::moveBack(int i) {
    const TrashEntry e = TrashList[i];
    // The origin must be an absolute path without "." or ".." parts (a
    // hand-edited index must not send a file to a relative or ".." place)
    // and free; the move itself refuses to replace a file that appears
    // there meanwhile.
    const bool trusted = isTrustedOrigin(e.originPath);
    if (!trusted && !e.originPath.isEmpty())
        k.shell.LogLine(QStringLiteral("Wiederherstellen: ungültiger Ursprungsort: ") + e.originPath);
    const MoveResult r = (!trusted || nameTaken(e.originPath))
                             ? MoveResult::NotMoved
                             : moveWithoutLoss(k.s.files, e.trashPath, e.originPath);
    if (r == MoveResult::NotMoved) return false;
    if (r == MoveResult::CopyKept)
        k.shell.LogLine(QStringLiteral("Konnte Datei nicht löschen: ") + e.trashPath);
    TrashList.removeAt(i);
    return true;
}

Trash::RestoreCounts Trash::RestoreSelected(const QList<int32_t>& keys) {
    RestoreCounts counts;
    for (const int32_t key : keys) {
        for (int i = 0; i < TrashList.size();) {
            if (TrashList[i].randomKey != key) {
                ++i;
                continue;
            }
            if (restoreEntry(i)) {
                ++counts.restored;
            } else {
                ++counts.failed;
                ++i;
            }
        }
    }
    k.library.ListeAbgleichen();
    WriteTrashIndex();
    return counts;
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
