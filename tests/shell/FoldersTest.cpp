#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include "fakes/Fakes.h"

namespace {

// Points HOME and XDG_DATA_HOME into the test's temporary folder for the
// life of the guard.
class HomeGuard {
public:
    HomeGuard(const QString& home, const QString& xdg)
        : oldHome(qgetenv("HOME")), oldXdg(qgetenv("XDG_DATA_HOME")), hadXdg(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_DATA_HOME", xdg.toUtf8());
    }
    ~HomeGuard() {
        qputenv("HOME", oldHome);
        if (hadXdg) qputenv("XDG_DATA_HOME", oldXdg);
        else qunsetenv("XDG_DATA_HOME");
    }
private:
    QByteArray oldHome, oldXdg;
    bool hadXdg;
};

// A player whose start-up finds a fresh home and data folder.
struct StartKalvo : TestKalvo {
    QString home = path("home");
    QString xdg = path("xdg");
    QString data = xdg + "/Kalvo2/";
    HomeGuard guard{home, xdg};
    StartKalvo() { QDir().mkpath(home); }

    QStringList shownTexts() const {
        QStringList out;
        for (const auto& m : messages.shown) out << m.text;
        return out;
    }
};

// Sets a file's modification time to a local wall-clock second count.
void setWrittenAt(const QString& file, qint64 localSeconds) {
    const QDateTime wall = QDateTime::fromSecsSinceEpoch(localSeconds, QTimeZone::utc());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime(wall.date(), wall.time()), QFileDevice::FileModificationTime));
}

}  // namespace

TEST(StartUp, FirstStartCreatesTheFoldersAndTakesTheDefaults) {
    StartKalvo t;
    t.k->shell.programFolder = t.temp.path();
    t.k->shell.PrepareFolders();

    Shell& sh = t.k->shell;
    EXPECT_EQ(sh.dataFolder, t.data);
    EXPECT_EQ(sh.TrashFolder, t.data + "Kalvo-Kübel/");
    EXPECT_TRUE(QFileInfo(t.data + "Kalvo-Kübel").isDir());
    EXPECT_TRUE(QFileInfo(t.data + "Log").isDir());
    EXPECT_EQ(sh.logFile, t.data + "Log/7.log");  // the fake clock stands on 7 December
    EXPECT_EQ(sh.programFolder, t.temp.path() + "/");

    EXPECT_EQ(t.view.title, " Kalvo2 0.992");
    EXPECT_EQ(t.view.panelColumn, 170);
    EXPECT_EQ(sh.mainBaseWidth, 400);
    EXPECT_EQ(sh.mainBaseHeight, 180);
    EXPECT_EQ(sh.lastListSave, t.clock.local);
    EXPECT_EQ(sh.lastActivityTime, t.clock.tick);
    EXPECT_FALSE(sh.quitRequested);

    EXPECT_EQ(t.sounds.loadedNumbers, QVector<int>{DeletionSoundNumber});
    EXPECT_EQ(t.sounds.loadedFrom, "memory");
    EXPECT_FALSE(t.shownTexts().join("\n").contains("nicht initialisieren"));
    EXPECT_TRUE(t.modules.calls.contains("initialise"));
    EXPECT_TRUE(t.media.calls.contains("initialise"));

    EXPECT_EQ(t.k->settings.TrashMax, 40);
    EXPECT_EQ(t.view.snooze, "0");
    EXPECT_TRUE(t.view.fortf);
    // No folder or device message; the list load may greet a first start.
    for (const QString& text : t.shownTexts()) {
        EXPECT_FALSE(text.startsWith("Fehler")) << text.toStdString();
        EXPECT_FALSE(text.startsWith("Err")) << text.toStdString();
    }
    // Nothing was moved into or made in the home folder.
    EXPECT_FALSE(QFileInfo::exists(t.home + "/Kalvo2"));
}

TEST(StartUp, LogOfTheSameDayIsDeletedOnlyWhenOlderThanTwentyDays) {
    StartKalvo t;
    const QString log = t.data + "Log/7.log";
    QDir().mkpath(t.data + "Log");

    QFile(log).open(QIODevice::WriteOnly);
    setWrittenAt(log, t.clock.local - 21 * 86400);
    t.k->shell.PrepareFolders();
    EXPECT_FALSE(QFileInfo::exists(log));

    StartKalvo again;
    const QString kept = again.data + "Log/7.log";
    QDir().mkpath(again.data + "Log");
    QFile f(kept);
    f.open(QIODevice::WriteOnly);
    f.write("old line\r\n");
    f.close();
    setWrittenAt(kept, again.clock.local - 19 * 86400);
    again.k->shell.PrepareFolders();
    ASSERT_TRUE(QFileInfo::exists(kept));
    again.k->shell.LogLine(QStringLiteral("neu"));
    QFile r(kept);
    r.open(QIODevice::ReadOnly);
    const QByteArray all = r.readAll();
    EXPECT_TRUE(all.startsWith("old line\r\n"));
    EXPECT_TRUE(all.endsWith("  neu\r\n"));
}

TEST(StartUp, AStaleLogThatCannotBeDeletedIsReported) {
    StartKalvo t;
    const QString log = t.data + "Log/7.log";
    QDir().mkpath(t.data + "Log");
    QFile(log).open(QIODevice::WriteOnly);
    setWrittenAt(log, t.clock.local - 30 * 86400);
    t.files.removeRefused << log;
    t.k->shell.PrepareFolders();
    EXPECT_TRUE(t.shownTexts().contains("Konnte nicht löschen: " + log));
}

TEST(StartUp, OldDataFolderInTheHomeFolderIsMovedOnlyWhenItHoldsSettings) {
    {
        StartKalvo t;
        QDir().mkpath(t.home + "/Kalvo2/Log");
        QFile ini(t.home + "/Kalvo2/Kalvo2.ini");
        ini.open(QIODevice::WriteOnly);
        ini.write("\xEF\xBB\xBF[Generell]\r\nTrashMax = 7\r\n");
        ini.close();
        t.k->shell.PrepareFolders();
        EXPECT_FALSE(QFileInfo::exists(t.home + "/Kalvo2"));
        EXPECT_TRUE(QFileInfo(t.data + "Kalvo2.ini").isFile());
        EXPECT_EQ(t.k->settings.TrashMax, 7);
        EXPECT_FALSE(t.shownTexts().join("|").contains("Err"));
    }
    {
        // Some other folder that happens to be called Kalvo2 stays where it is.
        StartKalvo t;
        QDir().mkpath(t.home + "/Kalvo2");
        QFile other(t.home + "/Kalvo2/notes.txt");
        other.open(QIODevice::WriteOnly);
        other.close();
        t.k->shell.PrepareFolders();
        EXPECT_TRUE(QFileInfo::exists(t.home + "/Kalvo2/notes.txt"));
        EXPECT_FALSE(QFileInfo::exists(t.data + "notes.txt"));
        EXPECT_TRUE(QFileInfo(t.data + "Kalvo-Kübel").isDir());
    }
}

TEST(StartUp, OldAndNewDataFoldersBothPresentShowTheMoveMessage) {
    StartKalvo t;
    QDir().mkpath(t.home + "/Kalvo2");
    QFile(t.home + "/Kalvo2/Kalvo2.ini").open(QIODevice::WriteOnly);
    QDir().mkpath(t.data);
    t.k->shell.PrepareFolders();
    const QString expected = "Err - Konnte Verzeichnis nicht ändern!\r\nVon: " + t.home + "/Kalvo2/\r\nnach:" +
                             t.data + "\r\n";
    EXPECT_TRUE(t.shownTexts().contains(expected));
    EXPECT_EQ(t.k->shell.dataFolder, t.data);
    EXPECT_TRUE(QFileInfo::exists(t.home + "/Kalvo2/Kalvo2.ini"));
}

TEST(StartUp, DataFolderThatCannotBeCreatedIsReportedAndStartUpGoesOn) {
    TestKalvo t;
    // A plain file where the data folder's parent should be.
    const QString blocker = t.makeFile("blocker", 10);
    HomeGuard guard(t.path("home"), blocker + "/xdg");
    t.k->shell.PrepareFolders();

    const QString data = blocker + "/xdg/Kalvo2/";
    // One folder message; the list load may report its own trouble after it.
    ASSERT_GE(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler - konnte Verzeichnis nicht anlegen: " + data);
    for (int i = 1; i < t.messages.shown.size(); ++i)
        EXPECT_FALSE(t.messages.shown[i].text.contains("nicht anlegen")) << t.messages.shown[i].text.toStdString();
    EXPECT_EQ(t.k->shell.logFile, data + "Log/");
    EXPECT_EQ(t.view.title, " Kalvo2 0.992");
    EXPECT_EQ(t.sounds.loadedNumbers, QVector<int>{DeletionSoundNumber});
    EXPECT_EQ(t.view.snooze, "0");  // the settings were still applied
    t.k->shell.LogLine(QStringLiteral("nowhere"));  // fails quietly
}

TEST(StartUp, SoundAndMediaFailuresAreReported) {
    StartKalvo t;
    t.sounds.initOk = false;
    t.media.initOk = false;
    t.k->shell.PrepareFolders();
    const QStringList shown = t.shownTexts();
    EXPECT_TRUE(shown.contains("Fehler - kann die Tonausgabe nicht initialisieren! (Sound)"));
    EXPECT_TRUE(shown.contains("Fehler - kann die Tonausgabe nicht initialisieren! (Movie)"));
    EXPECT_TRUE(t.sounds.loadedNumbers.isEmpty());

    StartKalvo modules;
    modules.modules.initOk = false;
    modules.k->shell.PrepareFolders();
    EXPECT_TRUE(modules.shownTexts().contains("Fehler - kann die Tonausgabe nicht initialisieren! (Sound)"));
    EXPECT_EQ(modules.sounds.loadedNumbers, QVector<int>{DeletionSoundNumber});
}

TEST(StartUp, DeleteWavBesideTheProgramReplacesTheBuiltInSoundUnlessEmpty) {
    StartKalvo t;
    t.k->shell.programFolder = t.path("bin");
    const QString wav = t.makeFile("bin/delete.wav", 100);
    t.k->shell.PrepareFolders();
    EXPECT_EQ(t.sounds.loadedFrom, wav);

    StartKalvo empty;
    empty.k->shell.programFolder = empty.path("bin");
    empty.makeFile("bin/delete.wav", 0);
    empty.k->shell.PrepareFolders();
    EXPECT_EQ(empty.sounds.loadedFrom, "memory");
}

TEST(StartUp, ExitSavesListThenSettingsAndTrashIndex) {
    StartKalvo t;
    t.k->shell.PrepareFolders();
    t.k->settings.TrashMax = 12;
    t.k->shell.SaveAtExit();
    QFile ini(t.data + "Kalvo2.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("TrashMax = 12\r\n"));
    EXPECT_TRUE(QFileInfo(t.data + "Kalvo-Kübel/_Kalvo-Trash.ini").isFile());
    EXPECT_TRUE(QFileInfo(t.k->library.listFileName).isFile());
}
