// The real program's command line: --version and --help answer on stdout and
// exit 0 without a window or a data folder; anything unknown gets the help
// on stderr and exit code 2.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out, err;
    bool dataFolderMade = false;
};

// Runs kalvo2 with args and no display at all, so any attempt to open a
// window would fail instead of succeed quietly.
CliRun runPlayer(const QStringList& args, const QStringList& extraEnv = {}) {
    QTemporaryDir temp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", temp.path());
    env.insert("XDG_DATA_HOME", temp.path() + "/xdg");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const QString& pair : extraEnv) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2"), args);
    CliRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    r.dataFolderMade = QDir(temp.path() + "/xdg/Kalvo2").exists();
    return r;
}

TEST(CommandLine, VersionAndHelpAnswerWithoutWindowOrFiles) {
    for (const QString& opt : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const CliRun r = runPlayer({opt});
        EXPECT_EQ(r.exitCode, 0) << opt.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("Kalvo2 0.992\n"));
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        EXPECT_FALSE(r.dataFolderMade);
    }
    for (const QString& opt : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const CliRun r = runPlayer({opt});
        EXPECT_EQ(r.exitCode, 0) << opt.toStdString();
        EXPECT_TRUE(r.out.contains("--version")) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains("--help"));
        EXPECT_TRUE(r.out.contains("KALVO2_AUDIO_SINK"));
        EXPECT_TRUE(r.out.contains("XDG_DATA_HOME"));
        EXPECT_TRUE(r.err.isEmpty());
        EXPECT_FALSE(r.dataFolderMade);
    }
    // Qt's own options pass the check; the first answer wins.
    const CliRun withQtOption = runPlayer({"-platform", "offscreen", "--version"});
    EXPECT_EQ(withQtOption.exitCode, 0);
    EXPECT_EQ(withQtOption.out, QStringLiteral("Kalvo2 0.992\n"));
}

TEST(CommandLine, UnknownArgumentsGetHelpOnStderrAndExitTwo) {
    for (const QStringList& args : {QStringList{"--bogus"}, QStringList{"-x"}, QStringList{"some-file.mp3"},
                                    QStringList{"--verbose", "--version"}, QStringList{"-platform"}}) {
        const CliRun r = runPlayer(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(args.first())) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("KALVO2_AUDIO_SINK"));
        EXPECT_FALSE(r.dataFolderMade);
    }
}

TEST(CommandLine, HelpListsTheRemoteActionsAndWhereThePackageKeepsTheRenderer) {
    const CliRun r = runPlayer({"--help"});
    for (const char* option : {"--next", "--previous", "--forward", "--back", "--delete", "--stop", "--volume-up",
                               "--volume-down", "--volume-up-3", "--volume-down-3", "--play", "--pause", "--undo",
                               "--raise"})
        EXPECT_TRUE(r.out.contains(QStringLiteral("  %1 ").arg(option))) << option;
    EXPECT_TRUE(r.out.contains("/usr/libexec/kalvo2/")) << r.out.toStdString();
}

// No display to open is no crash: one line says what is missing, the exit
// code is 1, and no error report process starts.
TEST(CommandLine, WithoutADisplayOneLineSaysWhatIsMissing) {
    struct Case {
        QStringList env;
        QString says;
    };
    for (const Case& c : {Case{{}, "weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt"},
                          Case{{"WAYLAND_DISPLAY=kalvo2-none", "XDG_RUNTIME_DIR=/tmp"}, "die Wayland-Anzeige (WAYLAND_DISPLAY) ist nicht erreichbar"},
                          Case{{"DISPLAY=:4711"}, "die X-Anzeige :4711 (DISPLAY) ist nicht erreichbar"}}) {
        const CliRun r = runPlayer({}, c.env);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("kalvo2: Keine Anzeige - " + c.says)) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Error")) << r.err.toStdString();
        EXPECT_FALSE(r.dataFolderMade);
    }
}

}  // namespace
