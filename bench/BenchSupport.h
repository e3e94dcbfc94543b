#pragma once
// What the benchmarks share: the programs of the same build, the CPU time of
// processes, and the real player started in a home of its own and made to
// play through the command line, as a remote does.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <sys/resource.h>

namespace bench {

// A program of the same build: bench/ and src/ sit side by side.
inline QString buildProgram(const QString& name) {
    return QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath() + "/../src/" + name;
}

// The renderer of the same build; KALVO2_MODRENDER overrides it.
inline QString rendererPath() {
    if (!qEnvironmentVariableIsEmpty("KALVO2_MODRENDER"))
        return qEnvironmentVariable("KALVO2_MODRENDER");
    return buildProgram("kalvo2-modrender");
}

// CPU seconds of the children this process has waited for.
inline double childCpu() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of all threads of process `pid` so far (scheduler run time).
inline double processCpu(pid_t pid) {
    double total = 0;
    const QDir tasks(QString("/proc/%1/task").arg(pid));
    for (const QString& t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(t) + "/schedstat");
        if (f.open(QIODevice::ReadOnly))
            total += f.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

// CPU seconds so far of process `pid` and every process below it (the
// player and its renderer).
inline double treeCpu(pid_t pid) {
    double total = processCpu(pid);
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t child = pid_t(entry.toInt(&number));
        if (!number || child == pid) continue;
        QFile f("/proc/" + entry + "/stat");
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray stat = f.readAll();
        // "pid (name) state ppid ...": the name may hold spaces.
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (rest.value(1).toInt() == pid) total += treeCpu(child);
    }
    return total;
}

// The real player in a temporary home on the offscreen platform, with one
// list of the folder `music`, playing through the PulseAudio server named
// by PULSE_SERVER.
struct PlayerRun {
    QTemporaryDir temp;
    QString music = temp.path() + "/Musik/";
    QString data = temp.path() + "/xdg/Kalvo2/";
    QProcess process;

    static void write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    // Continuous play with Repeat when `loop`; levelling on or off.
    void prepare(bool loop, bool levelling) {
        const QString list = data + "Liste.txt";
        write(data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nFortwAbspielen = 1\r\nRepeat = " +
                                       QByteArray(loop ? "1" : "0") + "\r\nLetzteListenDatei = " + list.toUtf8() + "\r\n");
        write(list, "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 100\r\n[Pfade]\r\n0 = " + music.toUtf8() + "\r\n");
        write(data + "Lautstärke.ini",
              QByteArray("\xEF\xBB\xBF\r\n[Lautstärke]\r\nAngleichen = ") + (levelling ? "1" : "0") + "\r\n");
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", temp.path());
        env.insert("XDG_DATA_HOME", temp.path() + "/xdg");
        env.insert("XDG_RUNTIME_DIR", temp.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("KALVO2_AUDIO_SINK");  // the sink a user has: the sound server
        return env;
    }
    // Starts the player and has it play the list's first song (or only
    // has it answer a stop, when play is false); false when it does not come up
    // within a minute.
    bool startPlaying(bool play = true) {
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(buildProgram("kalvo2"), {});
        if (!process.waitForStarted(30000)) return false;
        // While start-up still scans the list the player answers busy (3).
        for (int i = 0; i < 120; ++i) {
            QProcess cli;
            QProcessEnvironment env = environment();
            env.remove("DISPLAY");
            cli.setProcessEnvironment(env);
            cli.start(buildProgram("kalvo2"), {play ? "--play" : "--stop"});
            cli.waitForFinished(30000);
            if (cli.exitCode() == 0) return true;
            QThread::msleep(500);
        }
        return false;
    }
    // Lines of the loudness cache as last saved: its head and one a song.
    int cacheLines() const {
        QFile f(data + "Lautheit.cache");
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }
    void quit() {
        if (process.state() == QProcess::NotRunning) return;
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(30000)) process.kill();
        process.waitForFinished(5000);
    }
    ~PlayerRun() { quit(); }
};

}  // namespace bench
