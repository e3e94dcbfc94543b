#include "playback/SongInfo.h"

#include <QStringDecoder>
#include <algorithm>

#include "playback/engines/SongTags.h"

QString cleanTagText(const QByteArray& raw, bool latin1Fallback) {
    QString text;
    if (latin1Fallback) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(raw);
        if (utf8.hasError()) text = QString::fromLatin1(raw);
    } else {
        text = QString::fromUtf8(raw);
    }
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), SongInfo::MaxTextLength + 1));
    for (qsizetype i = 0; i < text.size() && out.size() <= SongInfo::MaxTextLength + 1; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        if (c.isSurrogate()) continue;
        // Line breaks and tabs become one space, so words stay apart on a
        // desktop's one-line field; other control characters go.
        const bool space = c.isSpace();
        if (c.category() == QChar::Other_Control && !space) continue;
        if (space && (out.isEmpty() || out.back() == u' ')) continue;
        out += space ? QChar(u' ') : c;
    }
    out = out.trimmed();
    if (out.size() > SongInfo::MaxTextLength) {
        qsizetype cut = SongInfo::MaxTextLength;
        if (out.at(cut - 1).isHighSurrogate()) --cut;
        out.truncate(cut);
    }
    return out;
}

bool isJpegOrPng(const QByteArray& bytes) { return !imageExtension(bytes).isEmpty(); }

QString imageExtension(const QByteArray& bytes) {
    if (bytes.startsWith(QByteArray("\xFF\xD8\xFF", 3))) return QStringLiteral(".jpg");
    if (bytes.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8))) return QStringLiteral(".png");
    return {};
}

SongInfo songInfoFromTags(const SongTags& tags) {
    SongInfo info;
    info.title = cleanTagText(tags.title);
    for (const QByteArray& a : tags.artists) {
        const QString name = cleanTagText(a);
        if (!name.isEmpty() && !info.artists.contains(name)) info.artists << name;
    }
    info.album = cleanTagText(tags.album);
    info.trackNumber = tags.trackNumber > 0 ? tags.trackNumber : 0;
    if (!tags.imageTooLarge && tags.image.size() <= SongTags::MaxImageBytes && isJpegOrPng(tags.image))
        info.image = tags.image;
    return info;
}
