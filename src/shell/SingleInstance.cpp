#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include "base/Folders.h"
#include "base/Paths.h"

InstancePlan planInstanceLock(const QString& appDataFolder, const QString& homeFolder) {
    InstancePlan plan;
    const QString oldFolder = AddBackslash(homeFolder) + QStringLiteral("Kalvo2/");
    if (appDataFolder.isEmpty()) {
        plan.dataFolder = oldFolder;
        return plan;
    }
    plan.dataFolder = AddBackslash(appDataFolder) + QStringLiteral("Kalvo2/");
    plan.lockBeforeStartUp =
        !(isOldDataFolder(oldFolder, plan.dataFolder) && !QFileInfo::exists(plan.dataFolder));
    return plan;
}

QString raiseSocketPath(const QString& dataFolder, const QString& runtimeFolder) {
    if (runtimeFolder.isEmpty() || !QDir::isAbsolutePath(runtimeFolder) || !QFileInfo(runtimeFolder).isDir())
        return AddBackslash(dataFolder) + QLatin1String(kInstanceSocketName);
    const QString canonical = QFileInfo(dataFolder).canonicalFilePath();
    const QString folder = canonical.isEmpty() ? QDir::cleanPath(dataFolder) : canonical;
    const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).left(8).toHex();
    return AddBackslash(runtimeFolder) + QStringLiteral("kalvo2-") + QString::fromLatin1(hash) +
           QStringLiteral(".sock");
}
