#include "fakes/Fakes.h"

#include <QFile>
#include <QFileInfo>

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

MediaHandle RecordingMediaEngine::load(const QString& path) {
    calls << QStringLiteral("load ") + path;
    levelAtLoad = level;
    gainAtLoad = gain;
    if (loaded) release();
    prepared.clear();
    joined = 0;
    if (outputDown || failLoads.contains(path) || (requireFiles && !QFileInfo(path).isFile())) return 0;
    loaded = true;
    loadedPath = path;
    pos = 0;
    handle = nextHandle++;
    return handle;
}

bool RecordingMediaEngine::prepareNext(const QString& path) {
    calls << QStringLiteral("prepareNext ") + path;
    if (!loaded || prepareFails || (requireFiles && !path.isEmpty() && !QFileInfo(path).isFile())) {
        prepared.clear();
        return false;
    }
    prepared = path;
    return true;
}

void RecordingMediaEngine::join() {
    if (!loaded || prepared.isEmpty()) return;
    loadedPath = prepared;
    pos = 0;
    handle = nextHandle++;
    joined = handle;
}

MediaHandle RecordingMediaEngine::takeJoined() {
    const MediaHandle h = joined;
    if (h) prepared.clear();
    joined = 0;
    return h;
}

bool RecordingModuleEngine::load(const QString& path) {
    calls << QStringLiteral("load ") + path;
    gainAtLoad = gain;
    if (loaded) release();
    if (failLoads.contains(path) || (requireFiles && !QFileInfo(path).isFile())) return false;
    loaded = true;
    playing = false;
    loadedPath = path;
    return true;
}

TestKalvo::TestKalvo() {
    Services s{view, messages, clock, desktop, files, random, progress, fileDialogs, windows,
               media, modules, sounds};
    k = std::make_unique<Kalvo>(s);
    const QString data = temp.path() + QStringLiteral("/data/Kalvo2/");
    QDir().mkpath(data + QStringLiteral("Kalvo-Kübel"));
    QDir().mkpath(data + QStringLiteral("Log"));
    k->shell.programFolder = temp.path() + QLatin1Char('/');
    k->shell.dataFolder = data;
    k->shell.TrashFolder = data + QStringLiteral("Kalvo-Kübel/");
    k->shell.logFile = data + QStringLiteral("Log/7.log");
    k->shell.lastListSave = clock.local;
}

void TestKalvo::useWindows(Windows& other) {
    Services s{view, messages, clock, desktop, files, random, progress, fileDialogs, other,
               media, modules, sounds};
    auto fresh = std::make_unique<Kalvo>(s);
    fresh->shell.programFolder = k->shell.programFolder;
    fresh->shell.dataFolder = k->shell.dataFolder;
    fresh->shell.TrashFolder = k->shell.TrashFolder;
    fresh->shell.logFile = k->shell.logFile;
    k = std::move(fresh);
}

QString TestKalvo::makeFile(const QString& relative, qint64 size) {
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) {
        if (size > 0) f.resize(size);
        f.close();
    }
    return p;
}

QStringList TestKalvo::logLines() const {
    QFile f(k->shell.logFile);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    const QString all = QString::fromUtf8(f.readAll());
    for (const QString& line : all.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out << line.mid(19);  // "dd.mm.yy hh:ii:ss  " is 19 characters
    return out;
}
