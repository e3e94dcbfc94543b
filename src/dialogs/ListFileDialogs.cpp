#include "dialogs/ListFileDialogs.h"

QString ListFileDialogs::saveFile(const QString&, const QString&, const QString&) { return {}; }
QString ListFileDialogs::openFile(const QString&, const QString&, const QString&) { return {}; }
