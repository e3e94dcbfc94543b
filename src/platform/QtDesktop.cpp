#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

bool QtDesktop::openFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
