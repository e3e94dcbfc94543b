#include "shell/RestoreSession.h"

#include "shell/Kalvo.h"

QVector<Trash::Row> RestoreSession::rows() const { return k.trash.rowsNewestFirst(); }

QString RestoreSession::trashMaxText() const { return QString::number(k.settings.TrashMax); }

void RestoreSession::play(int32_t randomKey) { fromTrash = k.actions.PlayFromTrash(randomKey); }

void RestoreSession::restore(const QList<int32_t>& keys, const std::function<void()>& refill) {
    const Trash::RestoreCounts counts = k.actions.RestoreSelected(keys);
    if (refill) refill();
    k.shell.ShowMessage(Trash::restoreMessage(counts));
    if (fromTrash) k.playback.Stoppen();
}

void RestoreSession::close(const QString& trashMaxField) {
    if (closed) return;
    closed = true;
    const int32_t typed = Trash::trashMaxFromField(trashMaxField);
    if (Trash::isValidLimit(typed)) {
        k.settings.TrashMax = typed;
    } else {
        // An empty field or 0 would leave no room in the trash: keep the old limit.
        k.shell.LogLine(QStringLiteral("RestoreDialog: Behalte max. Dateien \"") + trashMaxField +
                        QStringLiteral("\" ist kleiner als 1 - TrashMax bleibt ") +
                        QString::number(k.settings.TrashMax));
    }
    if (fromTrash) k.playback.Stoppen();
}

void RestoreSession::finish() { k.playback.LiedBestimmen(QString()); }
