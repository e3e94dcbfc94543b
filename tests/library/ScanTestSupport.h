#pragma once
#include <QDir>
#include <QStringList>
#include <functional>

#include "fakes/Fakes.h"

// Progress window fake that can act while a scan runs (clock, disk).
class HookedProgress : public FakeProgress {
public:
    std::function<void(const QString&)> onDirectory;
    void setDirectory(const QString& t) override {
        FakeProgress::setDirectory(t);
        if (onDirectory) onDirectory(t);
    }
};

// File dialogs that note whether the pass was suspended while they were open.
class SuspensionCheckingDialogs : public FakeFileDialogs {
public:
    Shell* shell = nullptr;
    QVector<bool> suspendedWhileOpen;
    QString saveFile(const QString& t, const QString& p, const QString& f) override {
        suspendedWhileOpen << (shell && shell->suspended());
        return FakeFileDialogs::saveFile(t, p, f);
    }
    QString openFile(const QString& t, const QString& p, const QString& f) override {
        suspendedWhileOpen << (shell && shell->suspended());
        return FakeFileDialogs::openFile(t, p, f);
    }
};

// A TestKalvo whose scans report to a HookedProgress.
struct HookedKalvo {
    TestKalvo t;
    HookedProgress progress;
    SuspensionCheckingDialogs dialogs;
    std::unique_ptr<Kalvo> k;
    HookedKalvo() {
        Services s{t.view, t.messages, t.clock, t.desktop, t.files, t.random, progress,
                   dialogs, t.windows, t.media, t.modules, t.sounds};
        k = std::make_unique<Kalvo>(s);
        k->shell.programFolder = t.k->shell.programFolder;
        k->shell.dataFolder = t.k->shell.dataFolder;
        k->shell.TrashFolder = t.k->shell.TrashFolder;
        k->shell.logFile = t.k->shell.logFile;
        k->shell.lastListSave = t.k->shell.lastListSave;
        dialogs.shell = &k->shell;
    }
};

// The file paths of a song list relative to root, in list order.
inline QStringList relativePaths(const SongList& list, const QString& root) {
    QStringList out;
    for (const SongEntry& e : list.raw())
        out << (e.filePath.startsWith(root) ? e.filePath.mid(root.size()) : e.filePath);
    return out;
}

inline const SongEntry* findSong(const SongList& list, const QString& path) {
    for (const SongEntry& e : list.raw())
        if (e.filePath == path) return &e;
    return nullptr;
}

