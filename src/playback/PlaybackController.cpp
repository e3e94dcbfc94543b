#include "playback/PlaybackController.h"

#include <QDir>
#include <algorithm>
#include <limits>
#include <utility>

#include "library/SongPattern.h"
#include "playback/engines/ModuleEngine.h"
#include "playback/engines/SoundEffects.h"
#include "base/Clock.h"
#include "base/DiskWait.h"
#include "shell/Kalvo.h"
#include "base/MainView.h"
#include "base/Messages.h"
#include "base/Windows.h"

namespace {

constexpr qint64 MediaUnitsPerSecond = 10000000;  // 100-ns units
constexpr qint64 QuietSaveOnStopSeconds = 120;

int lastSeparator(const QString& path) { return int(path.lastIndexOf(QDir::separator())); }

// Signed 64-bit a + b, saturated instead of wrapping.
qint64 saturatedAdd(qint64 a, qint64 b) {
    qint64 r;
    if (__builtin_add_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return r;
}

int32_t clampToInt32(qint64 v) {
    return int32_t(std::clamp<qint64>(v, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
}

}  // namespace

QString songExtension(const QString& path) { return extensionOf(path).toString().toLower(); }

QString folderPart(const QString& path) { return path.left(lastSeparator(path) + 1); }

bool lowerPathGreater(const QString& path, const QString& lowerOther) {
    // Lower-casing maps every BMP code unit except U+0130 to exactly one code
    // unit, so the lowered prefix lines up with lowerOther; surrogates and
    // U+0130 send the rest through the full mapping.
    const int n = int(path.size());
    const int m = int(lowerOther.size());
    const char16_t* a = reinterpret_cast<const char16_t*>(path.utf16());
    const char16_t* b = reinterpret_cast<const char16_t*>(lowerOther.utf16());
    for (int i = 0; i < n; ++i) {
        char16_t c = a[i];
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z') c = char16_t(c + (u'a' - u'A'));
        } else if (c == 0x130 || QChar::isSurrogate(c)) {
            const QString lowered = path.toLower();
            const char16_t* la = reinterpret_cast<const char16_t*>(lowered.utf16());
            return std::lexicographical_compare(b, b + m, la, la + lowered.size());
        } else {
            c = QChar::toLower(char32_t(c));
        }
        if (i >= m) return true;  // lowerOther is a proper prefix
        if (c != b[i]) return c > b[i];
    }
    return false;  // path is a prefix of lowerOther, or equal
}

QString timeText(qint64 seconds) {
    qint64 s = seconds % 86400;
    if (s < 0) s += 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

int PlaybackController::presentCount() const {
    int n = 0;
    for (const SongEntry& e : k.library.songList.raw())
        if (e.presence > 0) ++n;
    return n;
}

PlaybackController::Resume PlaybackController::findResume() const {
    Resume r;
    r.lastPath = lastSongPath;
    r.lastKey = lastSongKey;
    r.lastTwin = lastSongTwin;
    const QVector<SongEntry>& items = k.library.songList.raw();
    const int size = int(items.size());
    if (size == 0) return r;
    r.index = size - 1;  // a walk without a stop leaves the cursor on the last entry
    int& p = r.passed;
    if (k.settings.ZufallAbspielen) {
        if (lastSongKey != 0) {
            int twinAt = -1;  // where the twin lastSongTwin names stands
            for (int i = 0; i < size; ++i) {
                const SongEntry& e = items[i];
                if (e.presence <= 0) continue;
                ++p;
                if (e.randomKey == lastSongKey) {
                    if (twinAt < 0) twinAt = e.filePath == lastSongTwin ? i : findTwin(items, i);
                    if (i < twinAt) continue;  // an earlier twin
                    r.index = i;
                    r.lastTwin = e.filePath;
                    break;
                }
                if (e.randomKey > lastSongKey) {
                    r.lastKey = e.randomKey;
                    r.lastTwin = e.filePath;
                    r.index = i;
                    break;
                }
            }
        } else {
            r.index = 0;
            r.lastKey = items[0].randomKey;
            r.lastTwin = items[0].filePath;
        }
    } else {
        if (!lastSongPath.isEmpty()) {
            const QString lowerLast = lastSongPath.toLower();
            for (int i = 0; i < size; ++i) {
                const SongEntry& e = items[i];
                if (e.presence <= 0) continue;
                ++p;
                if (e.filePath == lastSongPath) { r.index = i; break; }
                if (lowerPathGreater(e.filePath, lowerLast)) {
                    r.lastPath = e.filePath;
                    r.index = i;
                    break;
                }
            }
        } else {
            r.index = 0;
            r.lastPath = items[0].filePath;
        }
    }
    return r;
}

bool PlaybackController::LiedBestimmen(const QString& path) {
    endStand.valid = false;
    SongList& list = k.library.songList;
    if (!path.isEmpty()) {
        k.s.view.setCounterText(QString());
        currentSong = path;
    } else {
        if (list.isEmpty()) {
            lastSongPath.clear();
            lastSongKey = 0;
            currentSong.clear();
            return false;
        }
        const int n = presentCount();
        const Resume r = findResume();
        lastSongPath = r.lastPath;
        lastSongKey = r.lastKey;
        lastSongTwin = r.lastTwin;
        list.select(r.index);
        determinedCounter = QStringLiteral("%1/%2").arg(r.passed).arg(n);
        k.s.view.setCounterText(determinedCounter);
        currentSong = list.at(r.index).filePath;
    }

    offeredSong = currentSong;

    const QString ext = songExtension(currentSong);
    if (SongPattern(k.settings.TrackerModDateiPattern).takes(ext)) {
        moduleSong = 1;
    } else if (SongPattern(k.settings.WinMediaDateiPattern).takes(ext)) {
        moduleSong = 0;
    } else {
        k.shell.LogLine(QStringLiteral("Fehler - Datei mit illegaler Extension! ") + currentSong);
        k.shell.ShowSongText(QStringLiteral("Illegale Extension: ") + currentSong);
        return false;
    }

    k.s.view.setPathText(folderPart(currentSong));
    k.shell.ShowSongText(filePart(currentSong));
    k.s.view.setTimeText(QString());
    return true;
}

void PlaybackController::releaseMedia() {
    forgetPrepared();
    k.s.media.stop();
    k.s.media.release();
    mediaHandle = 0;
    if (!k.s.modules.isLoaded()) loadedPath.clear();
}

void PlaybackController::releaseModule() {
    k.s.modules.stop();
    k.s.modules.release();
    if (!k.s.media.isLoaded()) loadedPath.clear();
}

void PlaybackController::releaseAll() {
    if (k.s.modules.isLoaded()) releaseModule();
    if (k.s.media.isLoaded()) releaseMedia();
    mediaHandle = 0;
    loadedPath.clear();
    if (!infoSong.isEmpty() || songInfo != SongInfo{}) ++infoChanges;
    infoSong.clear();
    songInfo = SongInfo{};
}

void PlaybackController::takeTags() {
    if (loadedPath.isEmpty()) return;
    SongInfo info;
    if (moduleSong == 1) {
        // A module's title does not change while it plays.
        if (!k.s.modules.isLoaded() || infoSong == loadedPath) return;
        info.title = cleanTagText(k.s.modules.moduleName(), true);
    } else {
        if (!k.s.media.isLoaded()) return;
        const SongTags tags = k.s.media.tags();
        if (infoSong == loadedPath && tags.revision == tagRevision) return;
        tagRevision = tags.revision;
        info = songInfoFromTags(tags);
    }
    if (infoSong == loadedPath && info == songInfo) return;
    songInfo = info;
    infoSong = loadedPath;
    ++infoChanges;
}

QString PlaybackController::heardSong() const {
    return k.s.media.isLoaded() || k.s.modules.isLoaded() ? loadedPath : QString();
}

PlaybackController::PlaybackController(Kalvo& k) : output(k.s.media, k.s.modules), k(k) {}

bool PlaybackController::Spielen(const QString& path) {
    if (!LiedBestimmen(path)) {
        // The song field names the refused song now: the one that played
        // before must not go on under its name.
        if (!currentSong.isEmpty() && currentSong != heardSong()) releaseAll();
        k.shell.ShowMessage(QStringLiteral("Fehler - Liedliste leer - kann nichts abspielen!"));
        return false;
    }

    // The song the stream has already joined keeps playing as it is, when
    // it is the one started now (the offer may have changed after the
    // stream took it).
    const MediaHandle joinedStream = std::exchange(joinedHandle, 0);
    const bool joined = joinedStream != 0 && !preparedSong.isEmpty() && currentSong == preparedSong &&
                        preparedModule == (moduleSong == 1) && k.s.media.heldPath() == currentSong;
    if (moduleSong == 1 && k.s.media.isLoaded()) releaseMedia();
    if (moduleSong == 0 && k.s.modules.isLoaded()) releaseModule();

    // A song on a share that stopped answering would hold the player inside
    // the engine's load: it is looked at on a thread of its own first.
    const bool silent = probePath(currentSong) == PathKind::Silent;
    bool ok = false;
    // The song's loudness gain looks at the file too: not for a silent one.
    if (!silent) output.prepareSong(currentSong);
    if (silent) {
        k.shell.LogLine(QStringLiteral("Spielen: Verzeichnis antwortet nicht: ") + folderPart(currentSong));
    } else if (moduleSong == 1) {
        const bool adopted = joined && k.s.modules.adoptNext(currentSong);
        forgetPrepared();
        if (adopted || k.s.modules.load(currentSong)) {
            Lautstaerke(0);
            if (!adopted) k.s.modules.play();
            ok = true;
        }
    } else {
        const bool adopted = joined && k.s.media.isLoaded();
        if (!adopted && k.s.media.isLoaded()) releaseMedia();
        forgetPrepared();
        if (!adopted) k.s.media.prepareNext(QString());  // an offer follows the load
        const MediaHandle h = adopted ? joinedStream : k.s.media.load(currentSong);
        if (h != 0) {
            k.s.media.setTimeUnit(h);
            mediaHandle = h;
            Lautstaerke(0);
            if (!adopted) k.s.media.play();
            mediaLength = k.s.media.length(h);
            k.s.view.setTimeText(timeText(mediaLength / MediaUnitsPerSecond));
            ok = true;
        }
    }

    if (!ok) {
        releaseAll();  // neither engine may play on after a failed load
        output.forgetSong();
        // A sound output that fails is not the file's fault: the engine has
        // logged why, and the song field keeps the song's name.
        if (silent) {
            k.shell.ShowSongText(QStringLiteral("Verzeichnis antwortet nicht: ") + folderPart(currentSong));
        } else if (moduleSong == 1 || !k.s.media.outputFailed()) {
            const QString text = QStringLiteral("Fehler - kann <") + filePart(currentSong) +
                                 QStringLiteral("> nicht laden!");
            k.shell.ShowSongText(text);
            k.shell.LogLine(text);
        }
        k.s.messages.errorBeep();
        return false;
    }

    loadedPath = currentSong;
    halted = false;
    // The engines hear at once whether a song follows in the stream: a short
    // song may be decoded or rendered whole already.
    prepareContinuation();
    infoSong.clear();
    takeTags();
    k.selection.LiedauswahlMarkieren();
    if (k.settings.GBlackScreen && path.isEmpty()) k.blackscreen.OpenBlackscreen();
    return true;
}

void PlaybackController::Stoppen() {
    // Both engines are looked at: a determination without playing (a new
    // random order, a closed list edit) may have moved moduleSong away from
    // the engine that still plays.
    releaseAll();
    output.forgetSong();
    halted = false;

    currentSong.clear();
    k.s.view.setPositionText(QString());
    k.s.view.setTimeText(QString());

    if (k.s.clock.localSeconds() - k.shell.lastListSave > QuietSaveOnStopSeconds)
        k.library.ListeSpeichern(true);
}

bool PlaybackController::playing() const { return !heardSong().isEmpty() && !halted && !paused(); }

bool PlaybackController::paused() const {
    // Only the engine that holds a song can be paused; a start on one engine
    // releases the other.
    return (k.s.media.isLoaded() && k.s.media.paused()) || (k.s.modules.isLoaded() && k.s.modules.paused());
}

bool PlaybackController::Pausieren() {
    if (!playing()) return false;
    if (k.s.modules.isLoaded()) k.s.modules.pause();
    if (k.s.media.isLoaded()) k.s.media.pause();
    return paused();
}

bool PlaybackController::Fortsetzen() {
    if (!paused()) return false;
    if (k.s.modules.isLoaded() && k.s.modules.paused()) k.s.modules.resume();
    if (k.s.media.isLoaded() && k.s.media.paused()) k.s.media.resume();
    return true;
}

int PlaybackController::findTwin(const QVector<SongEntry>& items, int first) const {
    // The sort keeps twins together: look among the entries right after.
    for (int j = first + 1; j < int(items.size()) && items[j].randomKey == lastSongKey; ++j)
        if (items[j].filePath == lastSongTwin) return j;
    return first;
}

void PlaybackController::makeResumePoint(const SongEntry& e) {
    if (k.settings.ZufallAbspielen) {
        lastSongKey = e.randomKey;
        lastSongTwin = e.filePath;
    } else
        lastSongPath = e.filePath;
}

bool PlaybackController::repeatEndStand() {
    const SongList& list = k.library.songList;
    if (!endStand.valid || k.settings.Repeat || bool(k.settings.ZufallAbspielen) != endStand.random ||
        list.size() != endStand.size || list.index() != endStand.size - 1 || currentSong != endStand.song ||
        list.at(endStand.size - 1).filePath != endStand.song || lastSongPath != endStand.lastPath ||
        lastSongKey != endStand.lastKey)
        return false;
    k.s.view.setCounterText(endStand.counter);
    offeredSong = currentSong;
    k.s.view.setPathText(folderPart(currentSong));
    k.shell.ShowSongText(filePart(currentSong));
    k.s.view.setTimeText(QString());
    return true;
}

void PlaybackController::MusNext() {
    if (repeatEndStand()) return;
    if (!LiedBestimmen(QString())) return;
    SongList& list = k.library.songList;
    SongEntry* e = list.next();
    if (!e) {
        if (!k.settings.Repeat) {
            endStand = EndStand{true, list.size(), currentSong, determinedCounter,
                                bool(k.settings.ZufallAbspielen), lastSongPath, lastSongKey};
            return;
        }
        e = list.first();
        if (!e) return;
    }
    makeResumePoint(*e);
    Spielen(QString());
}

void PlaybackController::MusPrev() {
    if (!LiedBestimmen(QString())) return;
    SongList& list = k.library.songList;
    while (SongEntry* e = list.previous()) {
        if (e->presence <= 0) continue;
        makeResumePoint(*e);
        if (Spielen(QString())) return;
    }
}

void PlaybackController::VorwaertsSpringen() { Springen(qint64(k.settings.SprungwertWM) * MediaUnitsPerSecond); }

void PlaybackController::ZurueckSpringen() { Springen(-qint64(k.settings.SprungwertWM) * MediaUnitsPerSecond); }

void PlaybackController::Springen(qint64 delta) {
    if (moduleSong == 1) {
        if (!k.s.modules.isLoaded()) return;
        const qint64 deltaMs = delta / (MediaUnitsPerSecond / 1000);
        positionMs = std::max<int32_t>(0, clampToInt32(qint64(positionMs) + deltaMs));
        k.s.modules.seek(positionMs);
        ++jumpCount;
    } else {
        if (!k.s.media.isLoaded()) return;
        const qint64 c = k.s.media.position(mediaHandle);
        if (c == 0) return;
        const qint64 target = std::max<qint64>(0, saturatedAdd(c, delta));
        // Forward only within the song; backward stops at its start.
        if (delta > 0 && target >= k.s.media.length(mediaHandle)) return;
        k.s.media.seek(mediaHandle, target);
        ++jumpCount;
        halted = false;
    }
}

void PlaybackController::Lautstaerke(int32_t delta) {
    volume = std::clamp(k.s.view.volumeSlider(), 0, 100);
    if (delta != 0) {
        volume = int32_t(std::clamp<qint64>(qint64(volume) + delta, 0, 100));
        k.s.view.setVolumeSlider(volume);
    }
    if (moduleSong == 1) {
        if (k.s.modules.isLoaded()) k.s.modules.setVolume(volume);
    } else {
        if (k.s.media.isLoaded()) k.s.media.setAudio(volume, 0);
    }
}

void PlaybackController::LoeschTon() {
    if (k.s.sounds.exists(DeletionSoundNumber))
        k.s.sounds.play(DeletionSoundNumber);
    else
        k.s.messages.asteriskBeep();
}
