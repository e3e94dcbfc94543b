#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

struct SongTags;

// What the desktop is told about the current song, from its tags, cleaned.
struct SongInfo {
    static constexpr int MaxTextLength = 1000;  // UTF-16 code units, longer texts are cut

    QString title;  // empty: the desktop shows the file name
    QStringList artists;
    QString album;
    int trackNumber = 0;  // 0: not known
    QByteArray image;     // a JPEG or PNG of at most SongTags::MaxImageBytes, else empty

    bool operator==(const SongInfo&) const = default;
};

// A text from a song's tags made fit to show: invalid UTF-8 sequences become
// U+FFFD (or, with latin1Fallback, a text that is not UTF-8 is read as
// Latin-1, as old tracker modules store their titles), line breaks, tabs
// and runs of white space become one space, other control characters and
// stray surrogates are dropped, white space at both ends trimmed, and the
// rest cut to MaxTextLength without splitting a character.
QString cleanTagText(const QByteArray& raw, bool latin1Fallback = false);
// The tags of a media song, cleaned; empty texts and artists are left out,
// an image that is neither JPEG nor PNG or too large is dropped.
SongInfo songInfoFromTags(const SongTags& tags);
// Whether bytes start as a JPEG or a PNG file does.
bool isJpegOrPng(const QByteArray& bytes);
// ".jpg" or ".png" for such an image; empty otherwise.
QString imageExtension(const QByteArray& bytes);
