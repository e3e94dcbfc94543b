#include "remote/RemoteAction.h"

#include "remote/KeyNames.h"
#include "shell/Kalvo.h"

const QVector<RemoteActionInfo>& remoteActions() {
    static const QVector<RemoteActionInfo> table = {
        {RemoteAction::Play, "play", "spielen (oder ein angehaltenes Lied weiterspielen)"},
        {RemoteAction::PlayPause, "pause", "anhalten, oder ein angehaltenes Lied weiterspielen"},
        {RemoteAction::Next, "next", "nächstes Lied"},
        {RemoteAction::Previous, "previous", "voriges Lied"},
        {RemoteAction::JumpForward, "forward", "vorwärts springen"},
        {RemoteAction::JumpBack, "back", "zurück springen"},
        {RemoteAction::Delete, "delete", "Lied löschen (in den Kalvo-Kübel)"},
        {RemoteAction::UndoDelete, "undo", "Löschen rückgängig"},
        {RemoteAction::Stop, "stop", "Stopp / Blackscreen verlassen"},
        {RemoteAction::VolumeUp10, "volume-up", "Lautstärke +10"},
        {RemoteAction::VolumeDown10, "volume-down", "Lautstärke -10"},
        {RemoteAction::VolumeUp3, "volume-up-3", "Lautstärke +3"},
        {RemoteAction::VolumeDown3, "volume-down-3", "Lautstärke -3"},
        {RemoteAction::Raise, "raise", "das Fenster des Players nach vorn holen"},
    };
    return table;
}

RemoteAction remoteActionNamed(const QString& word) {
    for (const RemoteActionInfo& info : remoteActions())
        if (word == QLatin1String(info.word)) return info.action;
    return RemoteAction::None;
}

QByteArray remoteActionWord(RemoteAction action) {
    for (const RemoteActionInfo& info : remoteActions())
        if (info.action == action) return QByteArray(info.word);
    return {};
}

RemoteRequest parseRemoteRequest(const QByteArray& line) {
    RemoteRequest r;
    if (line.size() > kMaxRemoteRequestBytes || !line.endsWith('\n')) return r;
    const QByteArray body = line.chopped(1);
    const int blank = body.indexOf(' ');
    const QByteArray word = blank < 0 ? body : body.left(blank);
    const RemoteAction action = remoteActionNamed(QString::fromLatin1(word));
    if (action == RemoteAction::None) return r;
    if (blank >= 0) {
        // Only a raise carries something: the activation token.
        const QByteArray token = body.mid(blank + 1);
        if (action != RemoteAction::Raise || token.isEmpty()) return r;
        for (char c : token)
            if (c < 0x21 || c > 0x7e) return r;
        r.activationToken = token;
    }
    r.action = action;
    return r;
}

QByteArray remoteRequestLine(const RemoteRequest& request) {
    QByteArray line = remoteActionWord(request.action);
    if (request.action == RemoteAction::Raise && !request.activationToken.isEmpty())
        line += ' ' + request.activationToken;
    return line + '\n';
}

bool RunRemoteAction(Kalvo& k, RemoteAction action) {
    PlaybackController& pb = k.playback;
    switch (action) {
    case RemoteAction::Next: return k.bindings.RunFunction(FnNextSong);
    case RemoteAction::Previous: return k.bindings.RunFunction(FnPrevSong);
    case RemoteAction::JumpForward: return k.bindings.RunFunction(FnJumpForward);
    case RemoteAction::JumpBack: return k.bindings.RunFunction(FnJumpBack);
    case RemoteAction::Delete: return k.bindings.RunFunction(FnDeleteSong);
    case RemoteAction::Stop: return k.bindings.RunFunction(FnStopLeaveBlackscreen);
    case RemoteAction::VolumeUp10: return k.bindings.RunFunction(FnVolumeUp10);
    case RemoteAction::VolumeDown10: return k.bindings.RunFunction(FnVolumeDown10);
    case RemoteAction::VolumeUp3: return k.bindings.RunFunction(FnVolumeUp3);
    case RemoteAction::VolumeDown3: return k.bindings.RunFunction(FnVolumeDown3);
    case RemoteAction::UndoDelete: return k.bindings.RunFunction(FnUndoDelete);
    case RemoteAction::Play:
        if (k.mpris.paused()) pb.Fortsetzen();
        else if (!k.mpris.playing()) pb.Spielen(QString());
        return true;
    case RemoteAction::PlayPause:
        if (k.mpris.playing()) pb.Pausieren();
        else if (k.mpris.paused()) pb.Fortsetzen();
        else pb.Spielen(QString());
        return true;
    case RemoteAction::Raise:
    case RemoteAction::None: return false;
    }
    return false;
}
