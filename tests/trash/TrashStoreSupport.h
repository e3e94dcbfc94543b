#pragma once
// The trash store alone, on real files in a temporary folder: no player,
// no song list, no playback. Its log lines are collected in memory.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "fakes/CrossDeviceFileOps.h"
#include "fakes/Fakes.h"
#include "trash/Trash.h"

class TrashStoreFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    CrossDeviceFileOps files;  // a move from the music folder into the trash copies
    FakeClock clock;
    ScriptedRandom random;
    QString folder = dir.path() + QStringLiteral("/Kalvo-Kübel/");
    int32_t trashMax = 40;
    QStringList logged;
    Trash trash{Trash::Needs{files, clock, random, folder, trashMax,
                             [this](const QString& line) { logged << line; }}};

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder)); }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    // A file whose content is its name, below the temporary folder.
    QString song(const QString& relative) {
        const QString p = path(relative);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(relative.toUtf8());
        return p;
    }
    static QByteArray read(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Moves source in and records it under key, as a delete does.
    Trash::MovedIn throwAway(const QString& source, int32_t key) {
        const Trash::MovedIn in = trash.moveIn(source);
        if (in.result == MoveResult::Moved) trash.record(in, key, source);
        return in;
    }
    QStringList trashFiles() const {
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        names.removeAll(Trash::indexFileName());
        return names;
    }
};
