#include "trash/Trash.h"

#include "shell/Kalvo.h"

void Trash::DeleteCurrentSong(bool) {}
void Trash::CheckTrashFolder() {}
bool Trash::WriteTrashIndex() { return false; }
bool Trash::PlayFromTrash(int32_t) { return false; }
Trash::RestoreCounts Trash::RestoreSelected(const QList<int32_t>&) { return {}; }
QString Trash::restoreMessage(const RestoreCounts& c) {
    return QString::number(c.restored) + QStringLiteral(" Datei(en) wiederhergestellt\r\n") +
           QString::number(c.failed) + QStringLiteral(" Datei(en) W.h. misslungen");
}
