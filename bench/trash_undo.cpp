// Time of undoing one delete in a list of 100,000 songs (real files in 100
// folders): the file goes back (a rename), the song back into its place in
// the list, the index is rewritten atomically. Also the part that enters the
// song into the list alone, and a full scan of the same list for scale.
// Baseline measured in the same run: one stat(2) of the song file.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fakes/Fakes.h"

namespace {

constexpr int kSongs = 100000;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void makeFile(const QByteArray& path, const char* content) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    [[maybe_unused]] ssize_t n = ::write(fd, content, std::strlen(content));
    ::close(fd);
}

int indexOf(const SongList& list, const QString& path) {
    for (int i = 0; i < list.size(); ++i)
        if (list.at(i).filePath == path) return i;
    return -1;
}

}  // namespace

int main() {
    TestKalvo t;
    Kalvo& k = *t.k;
    const QString music = t.path("music/");
    for (int d = 0; d < 100; ++d) {
        const QString folder = music + QStringLiteral("Album %1/").arg(d, 3, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        for (int i = 0; i < kSongs / 100; ++i)
            makeFile(QFile::encodeName(folder + QStringLiteral("Lied %1.mp3").arg(i, 4, 10, QLatin1Char('0'))), "x");
    }
    k.library.pathList.append(music);
    k.library.ListeAbgleichen();
    if (k.library.songList.size() != kSongs) std::fprintf(stderr, "scan found %d songs\n", k.library.songList.size());

    std::vector<double> scanMs;
    for (int r = 0; r < 3; ++r) {
        QElapsedTimer timer;
        timer.start();
        k.library.ListeAbgleichen();
        scanMs.push_back(timer.nsecsElapsed() / 1e6);
    }

    std::vector<double> undoMs, enterMs, statUs;
    k.settings.TrashMax = 1000000;
    for (int r = 0; r < 21; ++r) {
        for (const bool random : {false, true}) {
            t.view.zufall = random;
            k.library.LiederSortieren();
            const QString song = music + QStringLiteral("Album %1/Lied %2.mp3")
                                             .arg((r * 37) % 100, 3, 10, QLatin1Char('0'))
                                             .arg((r * 53) % 1000, 4, 10, QLatin1Char('0'));
            const int at = indexOf(k.library.songList, song);
            k.library.songList.select(at);
            k.playback.currentSong = song;
            k.actions.DeleteCurrentSong(false);
            QElapsedTimer timer;
            timer.start();
            const bool undone = k.actions.UndoLastDelete();
            undoMs.push_back(timer.nsecsElapsed() / 1e6);
            if (!undone || indexOf(k.library.songList, song) < 0) std::fprintf(stderr, "undo went wrong\n");

            // The list part alone: the entry out, then in again.
            const int back = indexOf(k.library.songList, song);
            const int32_t key = k.library.songList.at(back).randomKey;
            k.library.songList.raw().removeAt(back);
            timer.restart();
            k.library.ReenterSong(song, key);
            enterMs.push_back(timer.nsecsElapsed() / 1e6);

            const QByteArray name = QFile::encodeName(song);
            struct stat st {};
            constexpr int kStats = 1000;
            timer.restart();
            for (int i = 0; i < kStats; ++i) ::stat(name.constData(), &st);
            statUs.push_back(timer.nsecsElapsed() / 1e3 / kStats);
        }
    }
    const double undo = median(undoMs), enter = median(enterMs), stat1 = median(statUs);
    std::printf("undo of one delete in a %d-song list (median of %zu, path and random order):\n", kSongs,
                undoMs.size());
    std::printf("  undo %9.3f ms   (ratio to one stat %8.0f)\n", undo, undo * 1000 / stat1);
    std::printf("  of it entering the song into the list %7.3f ms   (ratio to one stat %6.0f)\n", enter,
                enter * 1000 / stat1);
    std::printf("  baseline one stat(2) of the file %7.3f us\n", stat1);
    std::printf("  for scale, a full scan of the list %9.3f ms   (ratio to one stat %8.0f)\n", median(scanMs),
                median(scanMs) * 1000 / stat1);
    return 0;
}
