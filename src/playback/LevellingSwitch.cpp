#include "playback/LevellingSwitch.h"

#include "base/PreferenceFile.h"

namespace {
const QString Group = QStringLiteral("Lautstärke");
const QString Key = QStringLiteral("Angleichen");
}  // namespace

namespace LevellingSwitch {

QString fileIn(const QString& dataFolder) { return dataFolder + QStringLiteral("Lautstärke.ini"); }

bool load(const QString& file) {
    PreferenceFile f;
    if (!f.openPreferences(file))
        return true;
    f.selectGroup(Group);
    const bool on = f.readInteger(Key, 1) != 0;
    f.closePreferences();
    return on;
}

bool save(const QString& file, bool on, QString* error) {
    PreferenceFile f;
    if (!f.createPreferences(file)) {
        if (error) *error = f.errorString();
        return false;
    }
    f.selectGroup(Group);
    f.writeInteger(Key, on ? 1 : 0);
    const bool ok = f.closePreferences();
    if (!ok && error) *error = f.errorString();
    return ok;
}

}  // namespace LevellingSwitch
