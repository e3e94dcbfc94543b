#pragma once
#include <QString>
#include <QStringList>

#include "remote/RemoteAction.h"

// What the command line asks for. Qt's own options (-platform, -style,
// -display, ...) are left for QApplication; anything else is refused.
struct CommandLine {
    enum class Action { Run, Version, Help, Invalid, Remote };
    Action action = Action::Run;
    QString offending;  // the first argument that was refused (Invalid)
    RemoteAction remote = RemoteAction::None;  // Remote: "--next" and its kin, one per call
};

// args without the program name. Pure; reads no environment.
CommandLine parseCommandLine(const QStringList& args);
// "Kalvo2 <version>" and a line feed.
QString versionText();
// The options and the environment variables the player reads.
QString helpText();
// Handles --version, --help, the remote actions and refused arguments before
// any window or file is touched: prints to stdout (stderr for a refusal or a
// failed action) and returns the exit code (0; 2 for a refusal; for an
// action the codes of sendRemoteAction); -1 when the player should run.
int handleCommandLine(int argc, char** argv);

// Exit codes of an action sent to the running player.
enum RemoteExit : int {
    RemoteTaken = 0,
    RemoteNoPlayer = 1,  // no player runs on this data folder
    RemoteBusy = 3,      // it runs, but a message box or blocking window drops keys now
    RemoteNoAnswer = 4,  // it was reached but did not answer
};
// Sends action to the player that runs on this user's data folder; never
// starts one. Tells on stderr what went wrong; returns a RemoteExit.
int sendRemoteAction(int argc, char** argv, RemoteAction action);
