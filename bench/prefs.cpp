// Preference-file throughput on a 100,000-key document (about 10 MB),
// against a raw read-and-split and a raw write of the same bytes measured in
// the same run. Also shows that writing many keys into one group stays
// linear (time per key at 50k to 400k keys, and into a group that is not the
// last one). Per-key times rise once the index outgrows the caches.
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "base/PreferenceFile.h"

namespace {

QString valueOf(int i) {
    return QStringLiteral("/home/hörer/Musik/Interpret %1/Album %2/Titel %3 - ein längerer Name.mp3|%4|1")
        .arg(i % 977)
        .arg(i % 53)
        .arg(i, 6, 10, QLatin1Char('0'))
        .arg(qint64(i) * 7919);
}

// Best of a few runs, in seconds.
double best(int runs, const std::function<void()>& f) {
    double b = 1e9;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        f();
        b = std::min(b, t.nsecsElapsed() / 1e9);
    }
    return b;
}

struct Corpus {
    QStringList keys, values;
    explicit Corpus(int n) {
        for (int i = 0; i < n; ++i) {
            keys << QString::number(i + 1);
            values << valueOf(i);
        }
    }
};

void writeDocument(const QString& file, const Corpus& c, int keys, bool middleGroup) {
    PreferenceFile f;
    f.createPreferences(file);
    f.selectGroup(QStringLiteral("Kalvo"));
    f.writeInteger(QStringLiteral("Version"), 1);
    f.selectGroup(QStringLiteral("Lieder"));
    f.writeComment(QString());
    if (middleGroup) {
        f.selectGroup(QStringLiteral("Ende"));
        f.writeInteger(QStringLiteral("x"), 1);
        f.selectGroup(QStringLiteral("Lieder"));
    }
    for (int i = 0; i < keys; ++i) f.writeString(c.keys[i], c.values[i]);
    f.closePreferences();
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/big.txt");
    const QString rawFile = dir.path() + QStringLiteral("/raw.txt");
    constexpr int kKeys = 100000;
    constexpr int kRuns = 9;

    const Corpus corpus(400000);
    writeDocument(file, corpus, kKeys, false);
    const double mb = QFile(file).size() / 1e6;
    QByteArray bytes;
    {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        bytes = f.readAll();
    }
    std::printf("document: %d keys, %.1f MB\n", kKeys, mb);

    // Reading: raw read and split into lines, against open + every value read.
    qsizetype sink = 0;
    const double rawRead = best(kRuns, [&] {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        const QByteArrayList lines = f.readAll().split('\n');
        sink += lines.size();
    });
    const double openOnly = best(kRuns, [&] {
        PreferenceFile p;
        p.openPreferences(file);
        sink += p.selectGroup(QStringLiteral("Lieder"));
    });
    const double openEnumerate = best(kRuns, [&] {
        PreferenceFile p;
        p.openPreferences(file);
        p.selectGroup(QStringLiteral("Lieder"));
        p.examineKeys();
        while (p.nextKey()) sink += p.keyName().size() + p.keyValue().size();
    });
    const double openLookup = best(kRuns, [&] {
        PreferenceFile p;
        p.openPreferences(file);
        p.selectGroup(QStringLiteral("Lieder"));
        for (int i = 0; i < kKeys; ++i) sink += p.readString(corpus.keys[i], QString()).size();
    });

    // The same document with CR-only line ends (old Mac editors) reads as fast.
    const QString crFile = dir.path() + QStringLiteral("/cr.txt");
    {
        QFile f(crFile);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(bytes).replace("\r\n", "\r"));
    }
    const double openCrOnly = best(kRuns, [&] {
        PreferenceFile p;
        p.openPreferences(crFile);
        sink += p.selectGroup(QStringLiteral("Lieder"));
    });

    // Writing: raw write of the same bytes, against the full writer.
    const double rawWrite = best(kRuns, [&] {
        QSaveFile f(rawFile);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.commit();
    });
    const double write = best(kRuns, [&] { writeDocument(file, corpus, kKeys, false); });

    std::printf("read  baseline (read + split lines):   %8.1f MB/s\n", mb / rawRead);
    std::printf("read  openPreferences:                 %8.1f MB/s  ratio %.2fx\n", mb / openOnly, openOnly / rawRead);
    std::printf("read  openPreferences, CR-only lines:  %8.1f MB/s  ratio %.2fx\n", mb / openCrOnly,
                openCrOnly / rawRead);
    std::printf("read  open + enumerate all keys:       %8.1f MB/s  ratio %.2fx\n", mb / openEnumerate,
                openEnumerate / rawRead);
    std::printf("read  open + readString every key:     %8.1f MB/s  ratio %.2fx\n", mb / openLookup,
                openLookup / rawRead);
    std::printf("write baseline (atomic raw write):     %8.1f MB/s\n", mb / rawWrite);
    std::printf("write create + writeString + close:    %8.1f MB/s  ratio %.2fx\n", mb / write, write / rawWrite);

    // Linearity: time per key written into one group.
    for (int keys : {50000, 100000, 200000, 400000}) {
        const double t = best(5, [&] { writeDocument(file, corpus, keys, false); });
        std::printf("write %6d keys into one group:      %8.3f us/key\n", keys, t * 1e6 / keys);
    }
    const double mid = best(5, [&] { writeDocument(file, corpus, 400000, true); });
    std::printf("write 400000 keys into a middle group: %8.3f us/key\n", mid * 1e6 / 400000);
    return sink == 42 ? 1 : 0;
}
