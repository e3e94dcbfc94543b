#include <string>

#include "library/ListFile.h"

#include "base/PreferenceFile.h"
#include "library/SongLibrary.h"

namespace {
const QString kGroupKalvo = QStringLiteral("Kalvo");
const QString kGroupPaths = QStringLiteral("Pfade");
const QString kGroupSongs = QStringLiteral("Lieder");
const QString kKeyLastSong = QStringLiteral("ZuletztGespielt");
const QString kKeyLastKey = QStringLiteral("ZuletztZufaelligGespielt");
const QString kKeyVolume = QStringLiteral("Lautstaerke");

int digitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return 99;
}

// The decimal text of v (as QString::number gives it), built in buf.
QStringView decimal(char16_t (&buf)[12], int32_t v) {
    uint32_t u = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    char16_t* p = buf + 12;
    do {
        *--p = char16_t(u'0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0) *--p = u'-';
    return QStringView(p, buf + 12 - p);
}

SongEntry songFromValue(const QString& value) {
    SongEntry e;
    const qsizetype bar1 = value.indexOf(QLatin1Char('|'));
    if (bar1 < 0) {
        e.filePath = value;
        return e;
    }
    e.filePath = value.left(bar1);
    const qsizetype bar2 = value.indexOf(QLatin1Char('|'), bar1 + 1);
    e.randomKey = readListNumber(bar2 < 0 ? value.mid(bar1 + 1) : value.mid(bar1 + 1, bar2 - bar1 - 1));
    if (bar2 >= 0) {
        const qsizetype bar3 = value.indexOf(QLatin1Char('|'), bar2 + 1);
        e.presence = readListNumber(bar3 < 0 ? value.mid(bar2 + 1) : value.mid(bar2 + 1, bar3 - bar2 - 1));
    }
    return e;
}
}  // namespace

int32_t readListNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == QLatin1Char('$')) { base = 16; ++i; }
    else if (i < n && text[i] == QLatin1Char('%')) { base = 2; ++i; }
    uint32_t value = 0;
    for (; i < n; ++i) {
        const int d = digitValue(text[i]);
        if (d >= base) break;
        value = value * uint32_t(base) + uint32_t(d);
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}


bool readListFile(const QString& fileName, ListResume& resume, PathList& paths, SongList& songs) {
    PreferenceFile file;
    if (!file.openPreferences(fileName)) {
        file.closePreferences();
        return false;
    }
    file.selectGroup(kGroupKalvo);
    resume.lastSongPath = file.readString(kKeyLastSong, QString());
    resume.lastSongKey = file.readInteger(kKeyLastKey, 0);
    resume.volume = file.readInteger(kKeyVolume, 50);

    if (file.selectGroup(kGroupPaths) && file.examineKeys())
        while (file.nextKey()) paths.append(file.keyValue());
    if (file.selectGroup(kGroupSongs) && file.examineKeys()) {
        QVector<SongEntry>& raw = songs.raw();
        while (file.nextKey()) raw.append(songFromValue(file.keyValue()));
    }
    file.closePreferences();
    return true;
}

bool writeListFile(const QString& fileName, const ListResume& resume, const PathList& pathList,
                   const SongList& songList, QString& why) {
    PreferenceFile file;
    if (!file.createPreferences(fileName)) {
        file.closePreferences();
        why = file.errorString();
        return false;
    }
    file.selectGroup(kGroupKalvo);
    file.writeString(kKeyLastSong, resume.lastSongPath);
    file.writeInteger(kKeyLastKey, resume.lastSongKey);
    file.writeInteger(kKeyVolume, resume.volume);

    file.selectGroup(kGroupPaths);
    const QVector<QString>& paths = pathList.raw();
    for (int i = 0; i < paths.size(); ++i) file.writeString(QString::number(i), paths[i]);

    const QVector<SongEntry>& songs = songList.raw();
    if (!songs.isEmpty()) {
        file.selectGroup(kGroupSongs);
        // Key and value are built in reused buffers and handed over without
        // a copy (writeString copies them into the document).
        std::u16string value;
        char16_t keyDigits[12];
        char16_t digits[12];
        for (int i = 0; i < songs.size(); ++i) {
            const SongEntry& e = songs[i];
            const QStringView key = decimal(keyDigits, i);
            value.assign(reinterpret_cast<const char16_t*>(e.filePath.constData()), size_t(e.filePath.size()));
            value += u'|';
            const QStringView r = decimal(digits, e.randomKey);
            value.append(r.utf16(), size_t(r.size()));
            value += u'|';
            const QStringView p = decimal(digits, e.presence);
            value.append(p.utf16(), size_t(p.size()));
            const QString keyText = QString::fromRawData(reinterpret_cast<const QChar*>(key.utf16()), key.size());
            const QString valueText =
                QString::fromRawData(reinterpret_cast<const QChar*>(value.data()), qsizetype(value.size()));
            file.writeString(keyText, valueText);
        }
    }
    // The file is replaced whole on close; a failed write leaves the old one.
    if (!file.closePreferences()) {
        why = file.errorString();
        return false;
    }
    return true;
}
