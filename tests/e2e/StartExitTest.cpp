#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "e2e/PlayerProcess.h"
#include "fakes/Fakes.h"

namespace {

// The settings file a first run writes on exit, with the list file named.
QByteArray defaultSettings(const QString& listFile) {
    const char* lines[] = {
        "",
        "[Generell]",
        "; ",
        "; Nur die Dateien mit folgenden Pattern werden geladen (klein schreiben!)",
        "; Es ist nicht ganz klar, welche Trackermodule unterstützt werden - hier können neue hinzu gefügt werden - "
        "ohne Unterstützung passiert höchstens ein Fehler beim Laden...",
        "; Der WindowsMedia kann theoretisch beliebige Dateien abspielen, abhängig von installierten Codecs - man kann "
        "also versuchen, falls gewünscht, weitere Typen hier einzufügen",
        "; ",
        "TrackerModDateiPattern = *.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm",
        "WinMediaDateiPattern = *.mp3;*.mid;*.wav",
        "; ",
        "; Folgende Werte werden bei '<' und '>' verwendet. TM: Pattern, WM: Sekunden",
        "SprungwertWM = 30",
        "; ",
        "; Maximale Anzahl gelöschte Dateien im Kalvo-Kübel",
        "TrashMax = 40",
        "; ",
        "; Anzahl Sekunden, nachdem Kalvo entscheiden darf, ob ein Modul endlos looped - und es stoppt",
        "; Anzahl Track-Loops über das ganze Stück, die erlaubt sind",
        "TimeoutTM = 120",
        "LoopoutTM = 30",
        "; Einschlafautomatik: Anzahl Minuten ohne Aktivität (Spulen, Nächstes Stück, Lautstärke), nach der die "
        "Wiedergabe stoppt - 0=deaktiviert",
        "Snooze = 0",
        "; ",
        "LetzterPfad = ",
        "LetzteListenDatei = @LIST@",
        "; ",
        "FortwAbspielen = 1",
        "Repeat = 1",
        "ZufallAbspielen = 0",
        "GBlackScrMonOff = 1",
        "; >0 ->bei Blackscreen wird auch versucht den Monitor abzustellen",
        "; und: Anzahl Sekunden nach Ereignis, bis Monitor wieder ausgeschaltet wird",
        "; ",
        "GBlackScreen = 0",
        "GWecken = 0",
        "GWeckenH = 8",
        "GWeckenM = 0",
        "; ",
        "; ",
        "[Window]",
        "; ",
        "WinX = 100",
        "WinY = 100",
        "; ",
        "WinXLied = 96",
        "WinXDLied = 400",
        "WinYLied = 310",
        "WinYDLied = 300",
        "; ",
        "; ",
        "[KeyKonfig]",
        "; ",
    };
    QByteArray out("\xEF\xBB\xBF");
    for (const char* line : lines) out += QByteArray(line).replace("@LIST@", listFile.toUtf8()) + "\r\n";
    return out;
}

}  // namespace

TEST(StartExit, FirstStartThenTerminationWritesTheDefaultSettings) {
    Player p;
    p.start();
    ASSERT_TRUE(p.waitUntilUp(p.data + "Log"));
    EXPECT_TRUE(QFileInfo(p.data + "Kalvo-Kübel").isDir());
    EXPECT_FALSE(QFileInfo::exists(p.data + "Kalvo2.ini"));  // written only at exit
    p.stop(SIGTERM);
    EXPECT_EQ(p.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.process.exitCode(), 0);
    EXPECT_EQ(p.settings(), defaultSettings(p.data + "Standard.txt"));
    EXPECT_TRUE(QFileInfo(p.data + "Kalvo-Kübel/_Kalvo-Trash.ini").isFile());

    // A second run reads what the first wrote and writes it back unchanged;
    // SIGINT quits as orderly as SIGTERM.
    const QByteArray first = p.settings();
    p.start();
    ASSERT_TRUE(p.waitUntilUp(p.data + "Log"));
    p.stop(SIGINT);
    EXPECT_EQ(p.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.process.exitCode(), 0);
    EXPECT_EQ(p.settings(), first);
}

TEST(StartExit, DataFolderThatCannotBeCreatedStillRunsAndQuits) {
    Player p;
    QFile blocker(p.xdg);  // a plain file where the data folder's parent belongs
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    p.start();
    // Nothing on disk tells that it is up: give it time, then it must still run.
    QThread::msleep(3000);
    ASSERT_EQ(p.process.state(), QProcess::Running);
    p.stop(SIGTERM);
    EXPECT_EQ(p.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.process.exitCode(), 0);
    EXPECT_TRUE(QFileInfo(p.xdg).isFile());
}
