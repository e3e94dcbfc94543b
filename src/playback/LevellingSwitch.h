#pragma once
#include <QString>

// The state of "Extras -> Lautstärke angleichen", kept in a file of its own
// in the data folder ("Lautstärke.ini"), so Kalvo2.ini stays as it is for
// a user who never touches the switch. On until the user turns it off.
// UI thread; blocks on the file system.
namespace LevellingSwitch {

QString fileIn(const QString& dataFolder);
// True when the file is missing or unreadable, or says nothing else.
bool load(const QString& file);
// False when the file could not be written (the old one stays).
bool save(const QString& file, bool on, QString* error = nullptr);

}  // namespace LevellingSwitch
