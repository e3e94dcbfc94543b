// The song selection window with 100,000 songs: opening (fill and first
// paint), "Finde:" with a text that matches 1 % of the paths, and the
// marking of the song that starts. Medians, each beside one plain pass over
// the 100,000 paths measured in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QStyleFactory>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "dialogs/LayoutAnchors.h"
#include "dialogs/QtWindows.h"
#include "dialogs/SongSelectionWindow.h"
#include "fakes/Fakes.h"

namespace {

constexpr int kSongs = 100000;
constexpr int kRuns = 15;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double medianMs(F&& f) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        f(i);
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

struct QtKalvo : TestKalvo {
    QtWindows qtWindows{nullptr};
    QtKalvo() {
        Services s{view, messages, clock, desktop, files, random, progress, fileDialogs, qtWindows, media, modules, sounds};
        auto fresh = std::make_unique<Kalvo>(s);
        fresh->shell.dataFolder = k->shell.dataFolder;
        fresh->shell.logFile = k->shell.logFile;
        k = std::move(fresh);
        qtWindows.attach(*k);
        qtWindows.setEventSink([this](const PassEvent& e) { k->shell.pass(e); });
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setFont(layoutFont());

    QtKalvo t;
    Kalvo& k = *t.k;
    SongList& songs = k.library.songList;
    // Paths like a real collection; every 100th lies in a folder "Sonderbar".
    for (int i = 0; i < kSongs; ++i) {
        const QString folder = (i % 100 == 37) ? QStringLiteral("Sonderbar") : QStringLiteral("Album %1").arg(i / 12);
        songs.append(SongEntry{QStringLiteral("/home/hörer/Musik/Künstler %1/%2/%3 - Titel Nummer %4.mp3")
                                   .arg(i / 120, 4, 10, QLatin1Char('0'))
                                   .arg(folder)
                                   .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                   .arg(i),
                               int32_t(i + 1), 4000000});
    }

    long long sink = 0;
    const double plain = medianMs([&](int) {
        for (const SongEntry& e : songs.raw())
            for (const QChar c : e.filePath) sink += c.unicode();
    });

    k.playback.offeredSong = songs.at(kSongs / 2).filePath;
    const double open = medianMs([&](int) {
        k.selection.LiedauswahlOeffnen();
        (void)t.qtWindows.songSelectionWindow()->grab();
    });
    SongSelectionWindow* w = t.qtWindows.songSelectionWindow();
    const int shownAll = w->model.rowCount();

    const double refill = medianMs([&](int) { k.selection.LiedauswahlFuellen(false); });
    const double paint = medianMs([&](int) { (void)w->grab(); });
    QVector<QString> copy;
    const double rowsOnly = medianMs([&](int) {
        copy = QVector<QString>();
        for (const SongEntry& e : songs.raw())
            if (e.presence > 0) copy.append(e.filePath);
    });
    const double showOnly = medianMs([&](int) { k.s.windows.showSongRows(k.selection.rows()); });

    w->search->setText(QStringLiteral("sonderbar"));
    const double find = medianMs([&](int) {
        k.selection.LiedauswahlFuellen(true);
        (void)w->grab();
    });
    const int found = w->model.rowCount();

    k.selection.LiedauswahlFuellen(false);
    const double mark = medianMs([&](int i) {
        k.playback.offeredSong = songs.at((i * 7919) % kSongs).filePath;
        k.selection.LiedauswahlMarkieren();
    });
    const bool marked = w->selectedRow() >= 0;

    std::printf("songs %d, shown %d, found %d (1 %%), marked %s\n", kSongs, shownAll, found, marked ? "yes" : "no");
    std::printf("plain pass over the paths     %8.2f ms\n", plain);
    std::printf("open: fill + first paint      %8.2f ms  (%.2f x plain pass)\n", open, open / plain);
    std::printf("  \"Aktualisieren\" %.2f ms, of which rows %.2f ms and the list model %.2f ms; a paint %.2f ms\n",
                refill, rowsOnly, showOnly, paint);
    std::printf("Finde: 1 %% of the paths       %8.2f ms  (%.2f x plain pass)\n", find, find / plain);
    std::printf("marking the playing song      %8.4f ms  (%.4f x plain pass)\n", mark, mark / plain);
    std::printf("(checksum %lld)\n", sink & 1);
    return (shownAll == kSongs && found == kSongs / 100 && marked) ? 0 : 1;
}
