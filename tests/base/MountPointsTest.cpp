// Where a folder's file system begins and which folders are mount points
// waiting for a stick, on a real tmpfs where the machine lets us mount one.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "base/MountPoints.h"
#include "fixtures/ScratchMount.h"

namespace {

using Kind = ScratchMount::Kind;

TEST(FileSystemTops, AreTheMountPointsOfTheFoldersFileSystem) {
    QTemporaryDir temp;
    const QString point = temp.path() + "/mnt";
    ScratchMount disk(Kind::Tmpfs, {}, point);
    if (!disk.ok()) GTEST_SKIP() << "cannot mount tmpfs: " << disk.reason().toStdString();
    QDir().mkpath(point + "/Musik/Alben");
    EXPECT_EQ(fileSystemTop(point + "/Musik/Alben"), point);
    EXPECT_EQ(fileSystemTop(point), point);
    EXPECT_NE(fileSystemTop(temp.path()), point);
    EXPECT_TRUE(fileSystemTop(point + "/missing").isEmpty());
    ASSERT_TRUE(disk.unplug());
    EXPECT_NE(fileSystemTop(point), point);
    EXPECT_EQ(fileSystemTop(point), fileSystemTop(temp.path()));
}

TEST(UnmountedMountPoints, AreFstabPointsOrEmptyDesktopMountFoldersBelowTheTop) {
    const QStringList fstab{"/mnt/usb", "/data"};
    EXPECT_TRUE(isUnmountedMountPoint("/mnt/usb", "/", fstab));
    EXPECT_TRUE(isUnmountedMountPoint("/mnt/usb/Musik", "/", fstab));
    EXPECT_FALSE(isUnmountedMountPoint("/mnt/usb", "/mnt/usb", fstab));  // mounted now
    EXPECT_FALSE(isUnmountedMountPoint("/mnt/usb/Musik", "/mnt/usb", fstab));
    EXPECT_FALSE(isUnmountedMountPoint("/mnt/usbstick", "/", fstab));
    EXPECT_FALSE(isUnmountedMountPoint("/home/ich/Musik", "/", fstab));
    EXPECT_FALSE(isUnmountedMountPoint("/home/ich/Musik", "/home", fstab));
    QTemporaryDir temp;
    EXPECT_FALSE(isUnmountedMountPoint(temp.path(), "/", fstab));
}

}  // namespace
