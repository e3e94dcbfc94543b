#include "remote/MprisControl.h"

#include <QCryptographicHash>
#include <QDir>
#include <QMimeDatabase>
#include <QUrl>
#include <cmath>
#include <limits>

#include "base/FileOps.h"
#include "base/MainView.h"
#include "library/SongPattern.h"
#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"
#include "shell/CoverArt.h"
#include "shell/Kalvo.h"

namespace {
constexpr qint64 kMediaUnitsPerMicro = 10;  // media positions are in 100-ns units

// Microseconds in media units, saturated instead of wrapping.
qint64 toMediaUnits(qint64 micros) {
    qint64 units;
    if (__builtin_mul_overflow(micros, kMediaUnitsPerMicro, &units))
        return micros > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return units;
}

qint64 saturatedSub(qint64 a, qint64 b) {
    qint64 r;
    if (__builtin_sub_overflow(a, b, &r))
        return b < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return r;
}
}  // namespace

bool MprisControl::request(const MprisRequest& r) {
    if (!passSink || k.shell.suspended()) return false;
    pending = r;
    hasPending = true;
    PassEvent e;
    e.kind = PassEvent::Kind::Mpris;
    e.window = MainWindowNo;
    passSink(e);
    const bool ran = !hasPending;
    hasPending = false;
    return ran;
}

void MprisControl::runPending() {
    if (!hasPending) return;
    hasPending = false;
    PlaybackController& pb = k.playback;
    const MprisRequest r = pending;
    switch (r.command) {
    case MprisCommand::Play:
        if (paused()) pb.Fortsetzen();
        else if (!playing()) pb.Spielen(QString());
        break;
    case MprisCommand::Pause:
        if (playing()) pb.Pausieren();
        break;
    case MprisCommand::PlayPause:
        if (playing()) pb.Pausieren();
        else if (paused()) pb.Fortsetzen();
        else pb.Spielen(QString());
        break;
    case MprisCommand::Stop: pb.Stoppen(); break;
    case MprisCommand::Next: pb.MusNext(); break;
    case MprisCommand::Previous: pb.MusPrev(); break;
    case MprisCommand::Seek: {
        // A seek past the end of a media song goes on to the next song;
        // modules have no known length (their engine stops at the end).
        const qint64 length = lengthMicros();
        if (r.micros > 0 && length > 0 && r.micros >= saturatedSub(length, positionMicros()))
            pb.MusNext();
        else
            pb.Springen(toMediaUnits(r.micros));
        break;
    }
    case MprisCommand::SetPosition:
        // Only for the song the caller saw, and only within it.
        if (r.text == currentTrackId() && r.micros >= 0 && canSeek() &&
            (pb.moduleSong == 1 || r.micros < lengthMicros()))
            pb.Springen(toMediaUnits(saturatedSub(r.micros, positionMicros())));
        break;
    case MprisCommand::SetVolume: {
        const double v = std::isfinite(r.volume) ? std::clamp(r.volume, 0.0, 1.0) : 0.0;
        const int target = int(std::lround(v * 100));
        pb.Lautstaerke(target - std::clamp(k.s.view.volumeSlider(), 0, 100));
        break;
    }
    case MprisCommand::OpenUri: {
        // Checked again here: the file may have changed since the reply.
        const QString refusal = openRefusal(r.text);
        if (refusal.isEmpty()) pb.Spielen(r.text);
        else k.shell.LogLine(QStringLiteral("MPRIS2: ") + refusal);
        break;
    }
    case MprisCommand::Quit: k.shell.quitRequested = true; break;
    }
}

bool MprisControl::loaded() const {
    const PlaybackController& pb = k.playback;
    if (pb.currentSong.isEmpty()) return false;
    return pb.moduleSong == 1 ? k.s.modules.isLoaded() : k.s.media.isLoaded();
}

bool MprisControl::playing() const { return loaded() && k.playback.playing(); }

bool MprisControl::paused() const { return loaded() && k.playback.paused(); }

QString MprisControl::playbackStatus() const {
    if (playing()) return QStringLiteral("Playing");
    return paused() ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

double MprisControl::volume() const { return std::clamp(k.s.view.volumeSlider(), 0, 100) / 100.0; }

qint64 MprisControl::positionMicros() const {
    const PlaybackController& pb = k.playback;
    if (!loaded()) return 0;
    if (pb.moduleSong == 1) return qint64(pb.positionMs) * 1000;
    return k.s.media.position(pb.mediaHandle) / kMediaUnitsPerMicro;
}

qint64 MprisControl::lengthMicros() const {
    const PlaybackController& pb = k.playback;
    if (!loaded() || pb.moduleSong == 1) return 0;
    return k.s.media.length(pb.mediaHandle) / kMediaUnitsPerMicro;
}

MprisControl::Navigation MprisControl::findNavigation() const {
    Navigation n;
    const QVector<SongEntry>& items = k.library.songList.raw();
    const int cursor = k.playback.findResume().index;
    if (cursor < 0) {
        n.canPlay = paused();
        return n;
    }
    // "|<" plays the nearest present entry before the resume song; ">|" the
    // entry after it, or with "Repeat" the first one after the last.
    for (int i = 0; i < cursor && !n.canGoPrevious; ++i) n.canGoPrevious = items[i].presence > 0;
    bool after = false;
    for (int i = cursor + 1; i < int(items.size()) && !after; ++i) after = items[i].presence > 0;
    n.canPlay = n.canGoPrevious || after || items[cursor].presence > 0;
    n.canGoNext = k.settings.Repeat ? n.canPlay : after;
    n.canPlay = n.canPlay || paused();
    return n;
}

bool MprisControl::canSeek() const { return loaded(); }

QString MprisControl::trackIdFor(const QString& path) {
    const QByteArray h = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).left(8).toHex();
    return QStringLiteral("/de/kalvo2/Track/") + QString::fromLatin1(h);
}

QString MprisControl::currentTrackId() const {
    const QString& song = k.playback.currentSong;
    return song.isEmpty() ? noTrackId() : trackIdFor(song);
}

QVariantMap MprisControl::metadata() const {
    QVariantMap m;
    const QString& song = k.playback.currentSong;
    m.insert(QStringLiteral("mpris:trackid"), currentTrackId());
    if (song.isEmpty()) return m;
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(song).toString(QUrl::FullyEncoded));
    const PlaybackController& pb = k.playback;
    const bool tagged = loaded() && pb.infoSong == song;
    QString title = tagged ? pb.songInfo.title : QString();
    if (title.isEmpty()) {
        title = filePart(song);
        const int dot = title.lastIndexOf(QLatin1Char('.'));
        if (dot > 0) title.truncate(dot);
    }
    m.insert(QStringLiteral("xesam:title"), title);
    if (tagged) {
        const SongInfo& info = pb.songInfo;
        if (!info.artists.isEmpty()) m.insert(QStringLiteral("xesam:artist"), info.artists);
        if (!info.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), info.album);
        if (info.trackNumber > 0) m.insert(QStringLiteral("xesam:trackNumber"), info.trackNumber);
    }
    const QString art = artUrl();
    if (!art.isEmpty()) m.insert(QStringLiteral("mpris:artUrl"), art);
    const qint64 length = lengthMicros();
    if (length > 0) m.insert(QStringLiteral("mpris:length"), length);
    return m;
}

QString MprisControl::artUrl() const {
    const PlaybackController& pb = k.playback;
    if (!loaded()) return {};
    const QString key = pb.currentSong + QLatin1Char('\n') + QString::number(pb.infoChanges);
    if (key == artFor) return artUrl_;
    artFor = key;
    QString file;
    if (pb.infoSong == pb.currentSong && !pb.songInfo.image.isEmpty())
        file = CoverArt::cachedImage(pb.songInfo.image, CoverArt::cacheFolder());
    if (file.isEmpty()) file = CoverArt::besideSong(pb.currentSong);
    artUrl_ = file.isEmpty() ? QString() : QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    return artUrl_;
}

QStringList MprisControl::supportedMimeTypes() const {
    QStringList types;
    const QMimeDatabase db;
    const QString patterns = k.settings.TrackerModDateiPattern + QLatin1Char(';') + k.settings.WinMediaDateiPattern;
    for (QString pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        const int dot = pattern.lastIndexOf(QLatin1Char('.'));
        if (dot < 0 || dot + 1 >= pattern.size()) continue;
        for (const QMimeType& t : db.mimeTypesForFileName(QStringLiteral("x.") + pattern.mid(dot + 1)))
            if (!types.contains(t.name())) types << t.name();
    }
    return types;
}

QString MprisControl::openRefusal(const QString& path) const {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return QStringLiteral("not an absolute path: ") + path;
    if (!k.s.files.isFile(path)) return QStringLiteral("not an existing file: ") + path;
    const QString ext = songExtension(path);
    if (!SongPattern(k.settings.TrackerModDateiPattern).takes(ext) &&
        !SongPattern(k.settings.WinMediaDateiPattern).takes(ext))
        return QStringLiteral("not a song (its extension is in no pattern): ") + path;
    return {};
}

MprisControl::Shown MprisControl::current() const {
    Shown s;
    s.status = playbackStatus();
    s.canPause = canPause();
    s.playing = playing();
    s.song = k.playback.currentSong;
    s.volume = std::clamp(k.s.view.volumeSlider(), 0, 100);
    s.navigation = findNavigation();
    s.canSeek = canSeek();
    s.jumps = k.playback.jumpCount;
    s.info = k.playback.infoChanges;
    return s;
}

void MprisControl::baseline() {
    reported = current();
    navigation = reported.navigation;
    accumulated = Changes{};
}

void MprisControl::passEnded() {
    const Shown now = current();
    QStringList& props = accumulated.properties;
    const auto note = [&props](const char* name) {
        const QString n = QLatin1String(name);
        if (!props.contains(n)) props << n;
    };
    if (now.status != reported.status) note("PlaybackStatus");
    // A new load of the same song changes its length, so metadata goes too;
    // going on after a pause loads nothing.
    if (now.song != reported.song || (now.playing && !reported.playing && reported.status != QLatin1String("Paused")) ||
        now.info != reported.info)
        note("Metadata");
    if (now.volume != reported.volume) note("Volume");
    navigation = now.navigation;
    if (now.navigation.canPlay != reported.navigation.canPlay) note("CanPlay");
    if (now.navigation.canGoNext != reported.navigation.canGoNext) note("CanGoNext");
    if (now.navigation.canGoPrevious != reported.navigation.canGoPrevious) note("CanGoPrevious");
    if (now.canSeek != reported.canSeek) note("CanSeek");
    if (now.canPause != reported.canPause) note("CanPause");
    if (now.jumps != reported.jumps) accumulated.seeked = true;
    reported = now;
    if (accumulated.any() && changed) changed();
}

MprisControl::Changes MprisControl::takeChanges() {
    Changes c = accumulated;
    accumulated = Changes{};
    return c;
}
