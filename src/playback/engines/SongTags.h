#pragma once
#include <QByteArray>
#include <QList>
#include <QtGlobal>

// What a song's streams say about it, as the engine received it: texts are
// the bytes delivered (meant to be UTF-8, not checked), so the player must
// clean them before showing them.
struct SongTags {
    // The engine keeps no image larger than this; it only notes that one came.
    static constexpr qsizetype MaxImageBytes = 10 * 1024 * 1024;
    // Longer texts are cut to this many bytes by the engine.
    static constexpr qsizetype MaxTextBytes = 16 * 1024;
    static constexpr int MaxArtists = 16;

    QByteArray title;
    QList<QByteArray> artists;
    QByteArray album;
    int trackNumber = 0;       // 0: not known
    QByteArray image;          // the embedded image's bytes; empty when none was kept
    bool imageTooLarge = false;
    // Grows with every change (a new song, a later tag event), so a reader
    // sees at once whether there is anything new.
    quint32 revision = 0;
};
