#pragma once
#include <QByteArray>
#include <QString>
#include <QVector>

class Kalvo;

// What "kalvo2 --next" and its kin ask the running player to do: the key
// functions, play, pause/resume and showing the window. They travel over
// the single-instance socket as one short line each.
enum class RemoteAction : int {
    None = 0,
    Next, Previous, JumpForward, JumpBack, Delete, Stop,
    VolumeUp10, VolumeDown10, VolumeUp3, VolumeDown3, UndoDelete,
    Play, PlayPause, Raise,
};

struct RemoteActionInfo {
    RemoteAction action;
    const char* word;  // on the socket, and the option without "--"
    const char* help;  // one line for --help (German)
};
// Every action, in the order --help lists them.
const QVector<RemoteActionInfo>& remoteActions();
// The action of word ("next"), or None.
RemoteAction remoteActionNamed(const QString& word);
QByteArray remoteActionWord(RemoteAction action);

// One request line as a peer sends it, newline included:
// "<word>\n", or "raise <activation token>\n" (the token of the desktop's
// window activation, printable ASCII without blanks). Anything else is
// refused (action None).
struct RemoteRequest {
    RemoteAction action = RemoteAction::None;
    QByteArray activationToken;
};
RemoteRequest parseRemoteRequest(const QByteArray& line);
// The line that asks for request.
QByteArray remoteRequestLine(const RemoteRequest& request);
// The longest request line a peer may send.
inline constexpr int kMaxRemoteRequestBytes = 300;

// Runs action as the pass's dispatch of a remote event: the key functions
// exactly as their keys run them, Play and PlayPause as the desktop's media
// controls do. Raise is not the pass's (the window layer shows the window).
// True when something ran (counted as activity). UI thread.
bool RunRemoteAction(Kalvo& k, RemoteAction action);
