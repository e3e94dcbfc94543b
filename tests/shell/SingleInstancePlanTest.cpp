// Where the one-player lock is taken: the folder start-up will use, and not
// before start-up while an old data folder still waits to be moved there.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fakes/Fakes.h"
#include "shell/SingleInstance.h"

TEST(SingleInstancePlan, LocksTheFolderStartUpUsesAndWaitsForAPendingMove) {
    QTemporaryDir temp;
    const QString home = temp.path() + "/home";
    const QString appData = temp.path() + "/xdg";
    QDir().mkpath(home);

    InstancePlan plan = planInstanceLock(appData, home);
    EXPECT_EQ(plan.dataFolder, appData + "/Kalvo2/");
    EXPECT_TRUE(plan.lockBeforeStartUp);

    // No application-data folder known: the home folder's data folder.
    plan = planInstanceLock(QString(), home);
    EXPECT_EQ(plan.dataFolder, home + "/Kalvo2/");
    EXPECT_TRUE(plan.lockBeforeStartUp);

    // An old data folder (with its settings) waits to be moved: creating the
    // new folder for the lock would spoil the move.
    QDir().mkpath(home + "/Kalvo2");
    QFile ini(home + "/Kalvo2/Kalvo2.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    plan = planInstanceLock(appData, home);
    EXPECT_EQ(plan.dataFolder, appData + "/Kalvo2/");
    EXPECT_FALSE(plan.lockBeforeStartUp);

    // Both exist (the move fails every start and the new one is used): lock now.
    QDir().mkpath(appData + "/Kalvo2");
    EXPECT_TRUE(planInstanceLock(appData, home).lockBeforeStartUp);
}
