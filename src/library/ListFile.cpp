#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <string>

#include "library/SongLibrary.h"
#include "base/Clock.h"
#include "base/FileDialogs.h"
#include "library/FolderWalk.h"
#include "shell/Kalvo.h"
#include "base/MainView.h"
#include "base/PreferenceFile.h"
#include "base/Windows.h"

namespace {
const QString kGroupKalvo = QStringLiteral("Kalvo");
const QString kGroupPaths = QStringLiteral("Pfade");
const QString kGroupSongs = QStringLiteral("Lieder");
const QString kKeyLastSong = QStringLiteral("ZuletztGespielt");
const QString kKeyLastKey = QStringLiteral("ZuletztZufaelligGespielt");
const QString kKeyVolume = QStringLiteral("Lautstaerke");
const QString kFilter = QStringLiteral("Text-Listen|*.txt");

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

void SongLibrary::ListeLeeren() {
    pathList.clear();
    songList.clear();
    k.playback.lastSongPath.clear();
    k.playback.offeredSong.clear();
    k.playback.lastSongKey = 0;
    k.s.view.setListName(QString());
    k.s.view.setPathText(QString());
    k.s.view.setSongText(QString());
    k.s.view.setTimeText(QString());
    k.s.view.setCounterText(QString());
}

void SongLibrary::ListeLaden(const QString& fileName) {
    k.playback.Stoppen();
    listFileName = fileName;
    listNeedsName = false;
    ListeLeeren();
    if (listFileName.isEmpty()) {
        listFileName = k.shell.dataFolder + QStringLiteral("Standard.txt");
        k.shell.ShowMessage(QStringLiteral("Erster Start - fügen Sie mindestens ein Verzeichnis zur Standardliste.\r\n"
                                           "Verwenden Sie dazu das Menü 'Liste - Bearbeiten.'\r\n"));
        QFile standard(listFileName);
        if (!standard.exists() && standard.open(QIODevice::WriteOnly | QIODevice::NewOnly)) standard.close();
    }
    k.settings.LetzteListenDatei = listFileName;
    k.s.view.setListName(filePart(listFileName));
    // The list may come from another folder: the panel lists that one now.
    k.s.windows.refreshListPanel();

    PreferenceFile file;
    if (!file.openPreferences(listFileName)) {
        file.closePreferences();
        k.shell.ShowMessage(QStringLiteral("Err - Kann Liste nicht öffnen: ") + listFileName);
        return;
    }
    file.selectGroup(kGroupKalvo);
    k.playback.lastSongPath = file.readString(kKeyLastSong, QString());
    k.playback.lastSongKey = file.readInteger(kKeyLastKey, 0);
    k.playback.volume = file.readInteger(kKeyVolume, 50);
    k.s.view.setVolumeSlider(k.playback.volume);

    if (file.selectGroup(kGroupPaths) && file.examineKeys())
        while (file.nextKey()) pathList.append(file.keyValue());
    if (file.selectGroup(kGroupSongs) && file.examineKeys()) {
        QVector<SongEntry>& raw = songList.raw();
        while (file.nextKey()) raw.append(songFromValue(file.keyValue()));
    }
    file.closePreferences();

    ListeAbgleichen();
    k.playback.LiedBestimmen(QString());
    k.playback.currentSong.clear();
    showSilentFolders(k);
}

bool SongLibrary::ListeSpeichern(bool quiet) {
    if (pathList.isEmpty()) return true;
    if (listNeedsName) {
        // The old name belongs to the list that "Neue Liste" left.
        if (quiet) return false;
        const QString name = askListName();
        if (name.isEmpty()) return false;
        listFileName = name;
        listNeedsName = false;
        k.settings.LetzteListenDatei = listFileName;
        k.s.view.setListName(filePart(listFileName));
    }
    const QString failed = QStringLiteral("Fehler - Kann Liste nicht speichern: ") + listFileName;
    PreferenceFile file;
    // A failed save keeps the old file byte for byte; the log says why.
    auto report = [&] {
        k.shell.LogLine(QStringLiteral("ListeSpeichern: Konnte Datei nicht schreiben: ") + listFileName +
                        QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
        if (!quiet) k.shell.ShowMessage(failed);
        return false;
    };
    const bool newFile = !QFileInfo::exists(listFileName);
    if (!file.createPreferences(listFileName)) {
        file.closePreferences();
        return report();
    }
    file.selectGroup(kGroupKalvo);
    file.writeString(kKeyLastSong, k.playback.lastSongPath);
    file.writeInteger(kKeyLastKey, k.playback.lastSongKey);
    file.writeInteger(kKeyVolume, k.playback.volume);

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
    if (!file.closePreferences()) return report();
    k.shell.lastListSave = k.s.clock.localSeconds();
    // An open list panel shows the new file at once.
    if (newFile) k.s.windows.refreshListPanel();
    return true;
}

QString SongLibrary::askListName() {
    QString name;
    {
        PassSuspension modal(k.shell);
        name = k.s.fileDialogs.saveFile(QStringLiteral("Liste speichern unter"), listFileName, kFilter);
    }
    if (!name.isEmpty() && name.right(4).toLower() != QLatin1String(".txt")) name += QStringLiteral(".txt");
    return name;
}

void SongLibrary::ListeSpeichernUnter(bool newList) {
    if (newList) ListeLeeren();
    const QString name = askListName();
    if (name.isEmpty()) {
        if (newList) listNeedsName = true;
        return;
    }
    const QString oldName = listFileName;
    const bool oldNeedsName = listNeedsName;
    listFileName = name;
    listNeedsName = false;
    if (!ListeSpeichern(false)) {
        // Nothing was written under the new name: the old one stays current.
        listFileName = oldName;
        listNeedsName = oldNeedsName;
        return;
    }
    k.settings.LetzteListenDatei = listFileName;
    k.s.view.setListName(filePart(listFileName));
    // The list may lie in another folder, whose lists the panel shows now.
    k.s.windows.refreshListPanel();
}

void SongLibrary::ListeOeffnen() {
    QString name;
    {
        PassSuspension modal(k.shell);
        name = k.s.fileDialogs.openFile(QStringLiteral("Liste öffnen"), listFileName, kFilter);
    }
    if (name.isEmpty()) return;
    ListeLaden(name);
}
