// Time of one delete into the trash: on the same file system (a rename, so
// independent of the song's size) for 1, 10 and 100 MB songs, and across file
// systems (trash on the /dev/shm tmpfs: a flushed copy) for a 10 MB song; and
// the start-up check of a trash folder with 1,000 files. Baselines measured in
// the same run: rename(2) of the same file, a plain copy+remove without
// flushing, and listing+stat of the folder.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fakes/Fakes.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void writeSong(const QString& path, qint64 size) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray chunk(1 << 20, 'k');
    for (qint64 done = 0; done < size; done += chunk.size()) {
        chunk[0] = char(done >> 20);
        f.write(chunk.constData(), std::min<qint64>(chunk.size(), size - done));
    }
    // On disk before the clock starts: otherwise the folder's fsync in the
    // delete also pays for writing out the fresh song.
    f.flush();
    ::fsync(f.handle());
}

// Median ms of DeleteCurrentSong for a song of size bytes.
double deleteMs(TestKalvo& t, const QString& musicFolder, qint64 size, int rounds) {
    Kalvo& k = *t.k;
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        const QString song = musicFolder + QStringLiteral("/Lied%1.mp3").arg(r);
        writeSong(song, size);
        k.library.songList.clear();
        k.library.songList.append(SongEntry{song, r + 1, 1});
        k.library.songList.select(0);
        k.playback.currentSong = song;
        // Nothing leaves the trash for good inside the timing: freeing the
        // blocks of an old song would be counted otherwise.
        k.settings.TrashMax = 1000000;
        QElapsedTimer timer;
        timer.start();
        k.actions.DeleteCurrentSong(false);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (QFile::exists(song)) std::fprintf(stderr, "delete failed: %s\n", qPrintable(song));
        for (const TrashEntry& e : k.trash.TrashList) QFile::remove(e.trashPath);
        k.trash.TrashList.clear();
    }
    return median(ms);
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    ::fsync(fd);
    ::close(fd);
}

double renameBaselineMs(const QString& folder, qint64 size, int rounds, bool durable) {
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        const QString a = folder + "/base-a.mp3", b = folder + "/base-b.mp3";
        writeSong(a, size);
        QElapsedTimer timer;
        timer.start();
        ::rename(QFile::encodeName(a).constData(), QFile::encodeName(b).constData());
        if (durable) syncFolder(folder);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        QFile::remove(b);
    }
    return median(ms);
}

double copyBaselineMs(const QString& from, const QString& toFolder, qint64 size, int rounds) {
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        const QString a = from + "/copy-a.mp3", b = toFolder + "/copy-b.mp3";
        writeSong(a, size);
        QElapsedTimer timer;
        timer.start();
        QFile::copy(a, b);
        QFile::remove(a);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        QFile::remove(b);
    }
    return median(ms);
}

}  // namespace

int main() {
    const qint64 MB = 1 << 20;
    {
        TestKalvo t;
        const QString music = t.path("music");
        QDir().mkpath(music);
        std::printf("delete on the same file system (median ms; baselines rename(2) of the same file,\n"
                    "and rename(2) + fsync of the folder; the delete also writes the index atomically):\n");
        for (qint64 size : {1 * MB, 10 * MB, 100 * MB}) {
            const int rounds = size > 10 * MB ? 7 : 15;
            const double ours = deleteMs(t, music, size, rounds);
            const double base = renameBaselineMs(music, size, rounds, false);
            const double durable = renameBaselineMs(music, size, rounds, true);
            std::printf("  %4lld MB: %8.3f ms   rename %8.3f ms (ratio %6.1f)   rename+fsync %8.3f ms (ratio %5.1f)\n",
                        size / MB, ours, base, ours / base, durable, ours / durable);
        }
    }
    {
        TestKalvo t;
        struct stat a {}, b {};
        ::stat(QFile::encodeName(t.temp.path()).constData(), &a);
        if (::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev) {
            std::printf("delete across file systems: skipped, /dev/shm is not another file system\n");
        } else {
            QTemporaryDir shm(QStringLiteral("/dev/shm/kalvo-bench-XXXXXX"));
            t.k->shell.TrashFolder = shm.path() + QLatin1Char('/');
            const QString music = t.path("music");
            QDir().mkpath(music);
            const double ours = deleteMs(t, music, 10 * MB, 9);
            const double base = copyBaselineMs(music, shm.path(), 10 * MB, 9);
            std::printf("delete across file systems, 10 MB into /dev/shm (median ms):\n"
                        "  %8.3f ms   baseline copy+remove without flush %8.3f ms   ratio %5.2f\n",
                        ours, base, ours / base);
        }
    }
    {
        TestKalvo t;
        Kalvo& k = *t.k;
        const QString trash = k.shell.TrashFolder;
        for (int i = 0; i < 1000; ++i) {
            QFile f(trash + QStringLiteral("Lied %1.mp3").arg(i));
            f.open(QIODevice::WriteOnly);
            f.write("x");
            k.trash.TrashList.append(TrashEntry{i, i + 1, t.path(QStringLiteral("music/Lied %1.mp3").arg(i)),
                                                trash + QStringLiteral("Lied %1.mp3").arg(i)});
        }
        k.trash.WriteTrashIndex();
        std::vector<double> ours, adopt, base;
        for (int r = 0; r < 9; ++r) {
            QElapsedTimer timer;
            timer.start();
            k.actions.CheckTrashFolder();
            ours.push_back(timer.nsecsElapsed() / 1e6);
            timer.restart();
            int n = 0;
            for (const QFileInfo& info : QDir(trash).entryInfoList(QDir::Files))
                n += info.isFile() && info.size() >= 0;
            base.push_back(timer.nsecsElapsed() / 1e6);
            if (k.trash.TrashList.size() != 1000 || n != 1001) std::fprintf(stderr, "check went wrong\n");
        }
        QFile::remove(trash + Trash::indexFileName());
        for (int r = 0; r < 5; ++r) {
            QElapsedTimer timer;
            timer.start();
            k.actions.CheckTrashFolder();  // every file adopted (one message)
            adopt.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("start-up check, 1,000 files in the trash (median ms):\n"
                    "  indexed %8.3f ms   all adopted %8.3f ms   baseline list+stat %8.3f ms   ratio %5.1f\n",
                    median(ours), median(adopt), median(base), median(ours) / median(base));
    }
    return 0;
}
