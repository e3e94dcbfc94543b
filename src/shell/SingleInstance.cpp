#include "shell/SingleInstance.h"

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
