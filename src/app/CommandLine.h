#pragma once
#include <QString>
#include <QStringList>

// What the command line asks for. Qt's own options (-platform, -style,
// -display, ...) are left for QApplication; anything else is refused.
struct CommandLine {
    enum class Action { Run, Version, Help, Invalid };
    Action action = Action::Run;
    QString offending;  // the first argument that was refused (Invalid)
};

// args without the program name. Pure; reads no environment.
CommandLine parseCommandLine(const QStringList& args);
// "Kalvo2 <version>" and a line feed.
QString versionText();
// The options and the environment variables the player reads.
QString helpText();
// Handles --version, --help and refused arguments before any window or file
// is touched: prints to stdout (stderr for a refusal) and returns the exit
// code (0, or 2 for a refusal); -1 when the player should run.
int handleCommandLine(int argc, char** argv);
