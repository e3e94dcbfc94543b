#pragma once
#include <QList>
#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>

#include "trash/Trash.h"

class Kalvo;

// What the restore dialog does between opening and closing: playing a
// trashed file, restoring the selected ones and the closing steps. The
// dialog only shows rows and hands over the user's choices. UI thread only.
class RestoreSession {
public:
    explicit RestoreSession(Kalvo& k) : k(k) {}

    // The rows to show, newest first.
    QVector<Trash::Row> rows() const;
    // TrashMax as the dialog's field shows it at opening.
    QString trashMaxText() const;
    // Double-click: plays the trashed file of that entry.
    void play(int32_t randomKey);
    // Restores these entries, lets the window refill its rows, then shows
    // the counts message and stops a song that was played from the trash.
    void restore(const QList<int32_t>& keys, const std::function<void()>& refill);
    // Closing ("Fertig" or the close box), once: TrashMax from the field
    // (a value below 1, an empty field too, keeps the old one and is
    // logged), and a song played from the trash stops.
    void close(const QString& trashMaxField);
    // After the window is gone: the list's current song is determined again.
    void finish();

    bool playingFromTrash() const { return fromTrash; }

private:
    Kalvo& k;
    bool fromTrash = false;
    bool closed = false;
};
