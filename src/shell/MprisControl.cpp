#include "shell/MprisControl.h"

#include <QCryptographicHash>
#include <QMimeDatabase>
#include <QUrl>
#include <cmath>

#include "base/MainView.h"
#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"
#include "shell/Kalvo.h"

namespace {
constexpr qint64 kMediaUnitsPerMicro = 10;  // media positions are in 100-ns units
}

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
        if (!playing()) pb.Spielen(QString());
        break;
    case MprisCommand::Pause:
        if (playing()) pb.Stoppen();
        break;
    case MprisCommand::PlayPause:
        if (playing()) pb.Stoppen();
        else pb.Spielen(QString());
        break;
    case MprisCommand::Stop: pb.Stoppen(); break;
    case MprisCommand::Next: pb.MusNext(); break;
    case MprisCommand::Previous: pb.MusPrev(); break;
    case MprisCommand::Seek: pb.Springen(r.micros * kMediaUnitsPerMicro); break;
    case MprisCommand::SetPosition:
        // Only for the song the caller saw, and only within it.
        if (r.text == currentTrackId() && r.micros >= 0 && canSeek() &&
            (pb.moduleSong == 1 || r.micros < lengthMicros()))
            pb.Springen((r.micros - positionMicros()) * kMediaUnitsPerMicro);
        break;
    case MprisCommand::SetVolume: {
        const double v = std::isfinite(r.volume) ? std::clamp(r.volume, 0.0, 1.0) : 0.0;
        const int target = int(std::lround(v * 100));
        pb.Lautstaerke(target - std::clamp(k.s.view.volumeSlider(), 0, 100));
        break;
    }
    case MprisCommand::OpenUri: pb.Spielen(r.text); break;
    case MprisCommand::Quit: k.shell.quitRequested = true; break;
    }
}

bool MprisControl::loaded() const {
    const PlaybackController& pb = k.playback;
    if (pb.currentSong.isEmpty()) return false;
    return pb.moduleSong == 1 ? k.s.modules.isLoaded() : k.s.media.isLoaded();
}

bool MprisControl::playing() const { return loaded() && !k.playback.halted; }

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

bool MprisControl::canPlay() const {
    for (const SongEntry& e : k.library.songList.raw())
        if (e.presence > 0) return true;
    return false;
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
    QString title = filePart(song);
    const int dot = title.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) title.truncate(dot);
    m.insert(QStringLiteral("xesam:title"), title);
    const qint64 length = lengthMicros();
    if (length > 0) m.insert(QStringLiteral("mpris:length"), length);
    return m;
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

MprisControl::Shown MprisControl::current() const {
    Shown s;
    s.playing = playing();
    s.song = k.playback.currentSong;
    s.volume = std::clamp(k.s.view.volumeSlider(), 0, 100);
    s.canPlay = canPlay();
    s.canSeek = canSeek();
    s.jumps = k.playback.jumpCount;
    return s;
}

void MprisControl::baseline() {
    reported = current();
    accumulated = Changes{};
}

void MprisControl::passEnded() {
    const Shown now = current();
    QStringList& props = accumulated.properties;
    const auto note = [&props](const char* name) {
        const QString n = QLatin1String(name);
        if (!props.contains(n)) props << n;
    };
    if (now.playing != reported.playing) note("PlaybackStatus");
    // A new load of the same song changes its length, so metadata goes too.
    if (now.song != reported.song || (now.playing && !reported.playing)) note("Metadata");
    if (now.volume != reported.volume) note("Volume");
    if (now.canPlay != reported.canPlay) {
        note("CanPlay");
        note("CanGoNext");
        note("CanGoPrevious");
    }
    if (now.canSeek != reported.canSeek) note("CanSeek");
    if (now.jumps != reported.jumps) accumulated.seeked = true;
    reported = now;
    if (accumulated.any() && changed) changed();
}

MprisControl::Changes MprisControl::takeChanges() {
    Changes c = accumulated;
    accumulated = Changes{};
    return c;
}
