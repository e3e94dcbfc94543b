// A player on the real file operations and fake engines that deletes songs,
// undoes deletes and restores songs in a loop until it is killed. The kill test starts it on a
// data folder and a music folder, kills it at random moments and checks that
// no song was lost.
//
//   trash_kill_driver <data folder> <music folder> [operations]
//
// Songs are named S<n>.mp3 and hold "song-<n>\n" first, so the driver can
// give files the start-up check adopted their origin back.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <random>

#include "fakes/Fakes.h"
#include "base/FileOps.h"

namespace {

QString originOf(const QString& trashFile, const QString& music) {
    QFile f(trashFile);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = f.readLine(64).trimmed();
    if (!head.startsWith("song-")) return {};
    return music + QStringLiteral("S%1.mp3").arg(head.mid(5).toInt(), 3, 10, QLatin1Char('0'));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: trash_kill_driver <data folder> <music folder> [operations]\n");
        return 2;
    }
    const QString data = AddBackslash(QString::fromLocal8Bit(argv[1]));
    const QString music = AddBackslash(QString::fromLocal8Bit(argv[2]));
    const long operations = argc > 3 ? std::atol(argv[3]) : -1;

    FakeView view;
    FakeMessages messages;
    FakeClock clock;
    FakeDesktop desktop;
    FileOps files;
    ScriptedRandom random;
    random.nextValue = int32_t(QCoreApplication::applicationPid() % 100000) * 1000 + 1;
    FakeProgress progress;
    FakeFileDialogs fileDialogs;
    FakeWindows windows;
    RecordingMediaEngine media;
    RecordingModuleEngine modules;
    RecordingSoundEffects sounds;
    Services s{view, messages, clock, desktop, files, random, progress, fileDialogs, windows,
               media, modules, sounds};
    Kalvo k(s);
    k.shell.programFolder = data;
    k.shell.dataFolder = data;
    k.shell.TrashFolder = data + QStringLiteral("Kalvo-Kübel/");
    QDir().mkpath(k.shell.TrashFolder);
    QDir().mkpath(data + QStringLiteral("Log"));
    k.shell.logFile = data + QStringLiteral("Log/driver.log");
    k.shell.lastListSave = clock.local;
    k.settings.TrashMax = 1000000;  // nothing leaves the trash for good here

    k.actions.CheckTrashFolder();
    for (TrashEntry& e : k.trash.TrashList)
        if (e.originPath.isEmpty()) e.originPath = originOf(e.trashPath, music);
    k.library.pathList.append(music);
    k.library.ListeAbgleichen();
    std::printf("ready\n");
    std::fflush(stdout);

    std::mt19937 rng(unsigned(QCoreApplication::applicationPid()));
    for (long op = 0; operations < 0 || op < operations; ++op) {
        SongList& list = k.library.songList;
        const unsigned r = unsigned(rng() % 6);
        const bool restore = list.isEmpty() || (!k.trash.TrashList.isEmpty() && r < 2);
        if (!restore && r == 2 && k.trash.undoableCount() > 0) {
            k.actions.UndoLastDelete();
        } else if (restore) {
            QList<int32_t> keys;
            for (const TrashEntry& e : k.trash.TrashList) keys << e.randomKey;
            k.actions.RestoreSelected(keys);
        } else {
            const int i = int(rng() % unsigned(list.size()));
            list.select(i);
            k.playback.Spielen(list.at(i).filePath);
            k.actions.DeleteCurrentSong(false);
        }
        clock.advance(1000);
    }
    k.trash.WriteTrashIndex();
    return 0;
}
