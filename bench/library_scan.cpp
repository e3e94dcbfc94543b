// Scan, save and load of a 100,000-song library against minimal baselines
// measured in the same run: a plain readdir + fstatat walk, and a raw
// generate-and-write / read-and-split of the same list text.
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fakes/Fakes.h"
#include "base/PreferenceFile.h"

namespace {

constexpr int Folders = 5000;
constexpr int Files = 100000;
constexpr int Runs = 3;

double bestMs(const std::function<void()>& setup, const std::function<void()>& body) {
    double best = 1e300;
    for (int i = 0; i < Runs; ++i) {
        setup();
        const auto a = std::chrono::steady_clock::now();
        body();
        const auto b = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(b - a).count());
    }
    return best;
}

void makeTree(const std::string& root) {
    // 50 top folders of 100 subfolders (5,000 folders holding the files).
    int file = 0;
    for (int top = 0; top < 50; ++top) {
        const std::string t = root + "/artist" + std::to_string(top);
        ::mkdir(t.c_str(), 0755);
        for (int sub = 0; sub < 100; ++sub) {
            const std::string d = t + "/album" + std::to_string(sub);
            ::mkdir(d.c_str(), 0755);
            for (int i = 0; i < Files / Folders; ++i, ++file) {
                const int kind = file % 20;  // 16 mp3, 2 wav, 1 mod, 1 jpg
                const char* ext = kind < 16 ? ".mp3" : kind < 18 ? ".wav" : kind < 19 ? ".mod" : ".jpg";
                const std::string f = d + "/Track " + std::to_string(file) + ext;
                const int fd = ::open(f.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd >= 0) {
                    if (file % 2) (void)!::write(fd, "x", 1);
                    ::close(fd);
                }
            }
        }
    }
}

struct RawEntry {
    std::string path;
    long long size;
};

void minimalWalk(const std::string& dir, int parentFd, const char* name, std::vector<RawEntry>& out) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* d = ::fdopendir(fd);
    if (!d) { ::close(fd); return; }
    while (dirent* e = ::readdir(d)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        if (e->d_type == DT_DIR) {
            minimalWalk(dir + n + "/", ::dirfd(d), n, out);
        } else {
            struct stat st;
            if (::fstatat(::dirfd(d), n, &st, 0) == 0) out.push_back({dir + n, (long long)st.st_size});
        }
    }
    ::closedir(d);
}

class QuietProgress : public ScanProgress {
public:
    std::function<void()> onDirectory;
    bool open() override { return true; }
    void setDirectory(const QString&) override { if (onDirectory) onDirectory(); }
    void setFile(const QString&) override {}
    void close() override {}
};

size_t heapInUse() { return mallinfo2().uordblks; }

void ratio(const char* what, double ms, double baseMs, double target) {
    std::printf("%-44s %9.1f ms  baseline %8.1f ms  ratio %5.2f  (target <= %.1f)\n", what, ms, baseMs, ms / baseMs,
                target);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestKalvo t;
    QuietProgress progress;
    Services s{t.view, t.messages, t.clock, t.desktop, t.files, t.random, progress, t.fileDialogs, t.windows,
               t.media, t.modules, t.sounds};
    Kalvo k(s);
    k.shell.dataFolder = t.k->shell.dataFolder;
    k.shell.logFile = t.k->shell.logFile;
    SongLibrary& lib = k.library;

    const QString root = t.path(QStringLiteral("tree/"));
    QDir().mkpath(root);
    const std::string rootBytes = QFile::encodeName(root).toStdString();
    std::printf("generating %d files in %d folders ...\n", Files, Folders);
    makeTree(rootBytes);

    // Baseline: the minimal walk keeping path and size of every file.
    std::vector<RawEntry> raw;
    const double walkMs = bestMs([&] { raw.clear(); raw.shrink_to_fit(); },
                                 [&] { minimalWalk(rootBytes, AT_FDCWD, rootBytes.c_str(), raw); });
    std::printf("minimal walk found %zu files\n", raw.size());

    lib.pathList.append(root);
    const double newMs = bestMs([&] { lib.songList.clear(); lib.songList.raw().squeeze(); }, [&] { lib.ListeAbgleichen(); });
    const int songs = lib.songList.size();
    const double againMs = bestMs([] {}, [&] { lib.ListeAbgleichen(); });
    std::printf("songs in the list: %d\n", songs);
    ratio("ListeAbgleichen, new list", newMs, walkMs, 1.5);
    ratio("ListeAbgleichen, list of 100,000 songs", againMs, walkMs, 2.0);

    // Save against generating the same text and writing it whole.
    lib.listFileName = t.path(QStringLiteral("Bench.txt"));
    const QString rawFile = t.path(QStringLiteral("raw.txt"));
    const double writeMs = bestMs([] {}, [&] {
        QByteArray text;
        text.reserve(qsizetype(lib.songList.size()) * 96);
        text += "\xEF\xBB\xBF\r\n[Kalvo]\r\nZuletztGespielt = \r\nZuletztZufaelligGespielt = 0\r\n"
                "Lautstaerke = 50\r\n[Pfade]\r\n0 = " + root.toUtf8() + "\r\n[Lieder]\r\n";
        int i = 0;
        for (const SongEntry& e : lib.songList.raw()) {
            text += QByteArray::number(i++);
            text += " = ";
            text += e.filePath.toUtf8();
            text += '|';
            text += QByteArray::number(e.randomKey);
            text += '|';
            text += QByteArray::number(e.presence);
            text += "\r\n";
        }
        // The same durability as a list save: temporary file, flush to disk, rename.
        QSaveFile f(rawFile);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(text);
            f.commit();
        }
    });
    const double saveMs = bestMs([] {}, [&] { lib.ListeSpeichern(true); });
    ratio("ListeSpeichern of 100,000 songs", saveMs, writeMs, 3.0);

    // Load against reading the file and splitting it into lines and fields.
    size_t splitCount = 0;
    const double readMs = bestMs([&] { splitCount = 0; }, [&] {
        QFile f(lib.listFileName);
        if (!f.open(QIODevice::ReadOnly)) return;
        const QString text = QString::fromUtf8(f.readAll());
        for (const QStringView line : QStringView(text).split(u"\r\n", Qt::SkipEmptyParts)) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0) continue;
            const auto fields = line.mid(eq + 1).trimmed().split(u'|');
            splitCount += size_t(fields.size());
        }
    });
    // The loaded list names a folder without files: what is timed is reading
    // the file into the lists and the bookkeeping of the reconciliation.
    const QString loadFile = t.path(QStringLiteral("Load.txt"));
    const QString empty = t.path(QStringLiteral("empty/"));
    QDir().mkpath(empty);
    lib.pathList.clear();
    lib.pathList.append(empty);
    const QString keepName = lib.listFileName;
    lib.listFileName = loadFile;
    lib.ListeSpeichern(true);
    lib.listFileName = keepName;
    int loaded = 0;
    const double loadMs = bestMs([] {}, [&] {
        lib.ListeLaden(loadFile);
        loaded = lib.songList.size();
    });
    std::printf("songs loaded: %d (fields split by the baseline: %zu)\n", loaded, splitCount);
    {
        // Where the load time goes.
        int keys = 0;
        const double parseMs = bestMs([&] { keys = 0; }, [&] {
            PreferenceFile f;
            f.openPreferences(loadFile);
            if (f.selectGroup(QStringLiteral("Lieder")) && f.examineKeys())
                while (f.nextKey()) { (void)f.keyValue(); ++keys; }
            f.closePreferences();
        });
        const double reconcileMs = bestMs([] {}, [&] { lib.ListeAbgleichen(); });
        const double findMs = bestMs([] {}, [&] { k.playback.LiedBestimmen(QString()); });
        std::printf("  of which: reading the preference file %.1f ms (%d keys), reconciliation %.1f ms, "
                    "finding the resume song %.1f ms\n", parseMs, keys, reconcileMs, findMs);
    }
    ratio("ListeLaden of 100,000 songs (with reconciliation)", loadMs, readMs, 3.0);

    // Memory: the list after a scan, and the peak while the scan runs.
    lib.ListeLeeren();
    lib.songList.raw().squeeze();
    lib.pathList.append(root);
    malloc_trim(0);
    const size_t before = heapInUse();
    size_t peak = before;
    progress.onDirectory = [&] { peak = std::max(peak, heapInUse()); };
    lib.ListeAbgleichen();
    progress.onDirectory = nullptr;
    const size_t after = heapInUse();
    peak = std::max(peak, after);
    size_t text = 0;
    for (const SongEntry& e : lib.songList.raw()) text += size_t(e.filePath.size()) * sizeof(QChar);
    const double n = double(lib.songList.size());
    std::printf("memory per song beyond the path text: held %.0f bytes, peak during scan %.0f bytes (target < 300)\n",
                (double(after - before) - double(text)) / n, (double(peak - before) - double(text)) / n);
    return 0;
}
