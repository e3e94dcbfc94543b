#include <gtest/gtest.h>

#include <QDir>

#include "PrefTestUtil.h"
#include "fakes/Fakes.h"
#include "base/Log.h"

namespace {

TEST(Log, LinesCarryLocalTimeAndAppendWithCrLf) {
    TestKalvo t;  // clock: 2026-12-07 17:05:09 local
    t.k->shell.LogLine(QStringLiteral("Erste Zeile"));
    t.clock.local += 3600 * 24 * 30 + 61;
    t.k->shell.LogLine(QStringLiteral("Lied gelöscht"));
    EXPECT_EQ(readBytes(t.k->shell.logFile),
              QByteArray("07.12.26 17:05:09  Erste Zeile\r\n06.01.27 17:06:10  Lied gel\xC3\xB6scht\r\n"));
}

TEST(Log, FileIsNamedByTheDayOfTheMonth) {
    const QString folder = QStringLiteral("/d/Log/");
    EXPECT_EQ(logFileForDay(folder, 1796663109), QStringLiteral("/d/Log/7.log"));
    EXPECT_EQ(logFileForDay(folder, 1796663109 - 6 * 86400), QStringLiteral("/d/Log/1.log"));
    EXPECT_EQ(logFileForDay(folder, 1796663109 + 24 * 86400), QStringLiteral("/d/Log/31.log"));
    EXPECT_EQ(logTimestamp(0), QStringLiteral("01.01.70 00:00:00"));
}

TEST(Log, UnwritableLogIsDroppedQuietly) {
    TestKalvo t;
    t.k->shell.logFile = t.k->shell.dataFolder + QStringLiteral("Log/");  // the folder itself
    t.k->shell.LogLine(QStringLiteral("weg"));
    EXPECT_TRUE(QFileInfo(t.k->shell.logFile).isDir());
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_FALSE(appendLogLine(t.path(QStringLiteral("no/such/folder/1.log")), 0, QStringLiteral("x")));
}

}  // namespace
