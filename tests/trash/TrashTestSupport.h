#pragma once
// Shared helpers of the trash tests: a player on fakes with a music folder,
// songs whose content names them, and file operations that behave as if the
// trash lay on another file system.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <gtest/gtest.h>

#include "fakes/Fakes.h"
#include "base/PreferenceFile.h"
#include "base/PartialCopy.h"
#include "trash/Trash.h"
#include "fakes/CrossDeviceFileOps.h"

// Rebuilds the player of t on other file operations (or afresh on the same
// ones: a restart on the same folders).
inline void rebuildKalvo(TestKalvo& t, FileOps& files) {
    const QString program = t.k->shell.programFolder, data = t.k->shell.dataFolder,
                  trash = t.k->shell.TrashFolder, log = t.k->shell.logFile;
    const Settings settings = t.k->settings;
    Services s{t.view, t.messages, t.clock, t.desktop, files, t.random, t.progress, t.fileDialogs,
               t.windows, t.media, t.modules, t.sounds};
    t.k = std::make_unique<Kalvo>(s);
    t.k->settings = settings;
    t.k->shell.programFolder = program;
    t.k->shell.dataFolder = data;
    t.k->shell.TrashFolder = trash;
    t.k->shell.logFile = log;
    t.k->shell.lastListSave = t.clock.local;
}

class TrashFixture : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k() { return *t.k; }
    QString music() const { return t.path(QStringLiteral("music")); }
    QString trash() { return k().shell.TrashFolder; }

    // A song file whose content is its name; appended to the song list as
    // present (callers keep the list in path order).
    QString addSong(const QString& name, int32_t key) {
        const QString p = music() + QLatin1Char('/') + name;
        writeFile(p, name.toUtf8());
        k().library.songList.append(SongEntry{p, key, 1});
        return p;
    }
    static void writeFile(const QString& p, const QByteArray& content) {
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray readFile(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Plays the song at index: cursor, resume point, and the engine holds it.
    void load(int index) {
        k().library.songList.select(index);
        k().playback.lastSongPath = k().library.songList.at(index).filePath;
        ASSERT_TRUE(k().playback.Spielen(k().playback.lastSongPath));
    }
    // The file names in the trash folder, sorted (index file excluded).
    QStringList trashFiles() {
        QStringList names = QDir(trash()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        names.removeAll(Trash::indexFileName());
        return names;
    }
    // The values of the index file, in file order.
    QStringList indexValues() {
        PreferenceFile pf;
        QStringList values;
        if (pf.openPreferences(trash() + Trash::indexFileName()) && pf.examineKeys())
            while (pf.nextKey()) values << pf.keyValue();
        pf.closePreferences();
        return values;
    }
    QStringList songPaths() {
        QStringList out;
        for (const SongEntry& e : k().library.songList.raw()) out << e.filePath;
        return out;
    }
    // A trash entry and its file, as an earlier delete would have left them.
    TrashEntry trashed(const QString& name, int32_t at, int32_t key, const QString& origin = {}) {
        const QString p = trash() + name;
        writeFile(p, name.toUtf8());
        TrashEntry e{at, key, origin, p};
        k().trash.TrashList.append(e);
        return e;
    }
};
