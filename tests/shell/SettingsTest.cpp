#include <gtest/gtest.h>

#include <QDir>

#include "base/PrefTestUtil.h"
#include "fakes/Fakes.h"
#include "base/PreferenceFile.h"

namespace {

QString settingsFile(TestKalvo& t) { return t.k->shell.dataFolder + QStringLiteral("Kalvo2.ini"); }

// The whole settings file as the first exit writes it.
QByteArray defaultFile() {
    return written(
        "[Generell]\r\n"
        "; \r\n"
        "; Nur die Dateien mit folgenden Pattern werden geladen (klein schreiben!)\r\n"
        "; Es ist nicht ganz klar, welche Trackermodule unterstützt werden - hier können neue hinzu gefügt werden"
        " - ohne Unterstützung passiert höchstens ein Fehler beim Laden...\r\n"
        "; Der WindowsMedia kann theoretisch beliebige Dateien abspielen, abhängig von installierten Codecs - man"
        " kann also versuchen, falls gewünscht, weitere Typen hier einzufügen\r\n"
        "; \r\n"
        "TrackerModDateiPattern = *.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm\r\n"
        "WinMediaDateiPattern = *.mp3;*.mid;*.wav\r\n"
        "; \r\n"
        "; Folgende Werte werden bei '<' und '>' verwendet. TM: Pattern, WM: Sekunden\r\n"
        "SprungwertWM = 30\r\n"
        "; \r\n"
        "; Maximale Anzahl gelöschte Dateien im Kalvo-Kübel\r\n"
        "TrashMax = 40\r\n"
        "; \r\n"
        "; Anzahl Sekunden, nachdem Kalvo entscheiden darf, ob ein Modul endlos looped - und es stoppt\r\n"
        "; Anzahl Track-Loops über das ganze Stück, die erlaubt sind\r\n"
        "TimeoutTM = 120\r\n"
        "LoopoutTM = 30\r\n"
        "; Einschlafautomatik: Anzahl Minuten ohne Aktivität (Spulen, Nächstes Stück, Lautstärke), nach der die"
        " Wiedergabe stoppt - 0=deaktiviert\r\n"
        "Snooze = 0\r\n"
        "; \r\n"
        "LetzterPfad = \r\n"
        "LetzteListenDatei = \r\n"
        "; \r\n"
        "FortwAbspielen = 1\r\n"
        "Repeat = 1\r\n"
        "ZufallAbspielen = 0\r\n"
        "GBlackScrMonOff = 1\r\n"
        "; >0 ->bei Blackscreen wird auch versucht den Monitor abzustellen\r\n"
        "; und: Anzahl Sekunden nach Ereignis, bis Monitor wieder ausgeschaltet wird\r\n"
        "; \r\n"
        "GBlackScreen = 0\r\n"
        "GWecken = 0\r\n"
        "GWeckenH = 8\r\n"
        "GWeckenM = 0\r\n"
        "; \r\n"
        "; \r\n"
        "[Window]\r\n"
        "; \r\n"
        "WinX = 100\r\n"
        "WinY = 100\r\n"
        "; \r\n"
        "WinXLied = 96\r\n"
        "WinXDLied = 400\r\n"
        "WinYLied = 310\r\n"
        "WinYDLied = 300\r\n"
        "; \r\n"
        "; \r\n"
        "[KeyKonfig]\r\n"
        "; \r\n");
}

TEST(Settings, FirstRunUsesDefaultsAndExitWritesTheWholeFile) {
    TestKalvo t;
    t.k->shell.LoadSettings();
    const Settings& s = t.k->settings;
    EXPECT_EQ(s.WinXLied, 96);
    EXPECT_EQ(s.WinYLied, 310);
    EXPECT_EQ(t.view.snooze, QStringLiteral("0"));
    EXPECT_TRUE(t.view.fortf);
    EXPECT_FALSE(t.view.zufall);
    EXPECT_EQ(t.view.hour, 8);
    EXPECT_EQ(t.view.x, 100);
    t.k->shell.SaveAtExit();
    EXPECT_EQ(readBytes(settingsFile(t)), defaultFile());
    // The trash index follows the settings.
    EXPECT_TRUE(QFile::exists(t.k->shell.TrashFolder + QStringLiteral("_Kalvo-Trash.ini")));
}

TEST(Settings, ValuesReachTheWindowAndRoundTrip) {
    TestKalvo t;
    writeBytes(settingsFile(t),
               "[generell]\r\nTrackerModDateiPattern=*.MOD;*.XM\r\nwinmediadateipattern = *.MP3;*.Ogg\r\n"
               "Snooze=15\r\nLetzteListenDatei = C:\\Listen\\Abend.txt\r\nLetzterPfad = /musik/neu\r\n"
               "FortwAbspielen=0\r\nZufallAbspielen=1\r\nRepeat=256\r\nGWecken=1\r\nGWeckenH=6\r\nGWeckenM=45\r\n"
               "GBlackScreen=1\r\nTrashMax=\r\nSprungwertWM=abc\r\n"
               "[Window]\r\nWinX=300\r\nWinY=-20\r\nWinYDLied=222\r\n"
               "[KeyKonfig]\r\nKeyCode0 = 1|34|0|1\r\n");
    t.k->shell.LoadSettings();
    const Settings& s = t.k->settings;
    EXPECT_EQ(s.TrackerModDateiPattern, QStringLiteral("*.mod;*.xm"));
    EXPECT_EQ(s.WinMediaDateiPattern, QStringLiteral("*.mp3;*.ogg"));
    EXPECT_EQ(s.Repeat, 0);        // only the low 8 bits of 256
    EXPECT_EQ(s.TrashMax, 40);     // present but empty: no limit to work with, the default
    EXPECT_EQ(s.SprungwertWM, 0);  // present but not a number
    EXPECT_EQ(s.WinXLied, 296);
    EXPECT_EQ(s.WinYLied, -20 + 180 + 30);
    EXPECT_EQ(s.WinXDLied, 400);
    EXPECT_EQ(s.GBlackScreen, 1);
    EXPECT_EQ(t.view.snooze, QStringLiteral("15"));
    // Written on Windows: on Linux a backslash is part of the name.
    EXPECT_EQ(t.view.listName, QStringLiteral("C:\\Listen\\Abend.txt"));
    EXPECT_FALSE(t.view.fortf);
    EXPECT_TRUE(t.view.zufall);
    EXPECT_TRUE(t.view.wecken);
    EXPECT_TRUE(t.view.bs);
    EXPECT_EQ(t.view.hour, 6);
    EXPECT_EQ(t.view.minute, 45);
    EXPECT_EQ(t.view.x, 300);
    EXPECT_EQ(t.view.y, -20);

    t.view.x = 321;  // the window was moved meanwhile
    t.k->shell.SaveSettings();
    TestKalvo again;
    QDir().mkpath(again.k->shell.dataFolder);
    QFile::copy(settingsFile(t), settingsFile(again));
    again.k->shell.LoadSettings();
    const Settings& r = again.k->settings;
    EXPECT_EQ(r.TrackerModDateiPattern, s.TrackerModDateiPattern);
    EXPECT_EQ(r.WinMediaDateiPattern, s.WinMediaDateiPattern);
    EXPECT_EQ(r.LetzteListenDatei, s.LetzteListenDatei);
    EXPECT_EQ(r.LetzterPfad, s.LetzterPfad);
    EXPECT_EQ(r.Snooze, 15);
    EXPECT_EQ(r.GWeckenM, 45);
    EXPECT_EQ(r.WinX, 321);
    EXPECT_EQ(r.WinXLied, 296);  // written explicitly now, no longer derived
    EXPECT_EQ(r.WinYDLied, 222);
    EXPECT_EQ(r.GBlackScreen, 1);
    ASSERT_EQ(again.k->bindings.KeyBindingList.size(), 1);
    EXPECT_EQ(again.k->bindings.KeyBindingList[0].keyCode, 34);
    EXPECT_TRUE(readBytes(settingsFile(t)).contains("WinMediaDateiPattern = *.mp3;*.ogg\r\n"));
}

TEST(Settings, BindingsAreReadInFileOrderAndRenumberedOnSave) {
    TestKalvo t;
    writeBytes(settingsFile(t),
               "[Generell]\r\nGBlackScreen=1\r\n[KeyKonfig]\r\nKeyCode7 = 3|39|0|1\r\nkeycode1 = 9|9|9|9\r\n"
               "Other = 1|2|3|4\r\n; KeyCode5 = 1|1|1|1\r\nKeyCode2 = -4| 37 |x\r\nKeyCodeX\r\n");
    t.k->shell.LoadSettings();
    const QVector<KeyBinding>& list = t.k->bindings.KeyBindingList;
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].hotkeyId, 3);
    EXPECT_EQ(list[0].keyCode, 39);
    EXPECT_EQ(list[0].function, 1);
    EXPECT_EQ(list[1].hotkeyId, -4);
    EXPECT_EQ(list[1].keyCode, 37);
    EXPECT_EQ(list[1].modifiers, 0);  // not a number
    EXPECT_EQ(list[1].function, 0);   // missing
    EXPECT_EQ(list[2].hotkeyId, 0);
    EXPECT_TRUE(t.view.bs);
    t.k->shell.SaveSettings();
    EXPECT_TRUE(readBytes(settingsFile(t))
                    .endsWith("[KeyKonfig]\r\n; \r\nKeyCode0 = 3|39|0|1\r\nKeyCode1 = -4|37|0|0\r\nKeyCode2 = 0|0|0|0\r\n"));
}

TEST(Settings, BlackscreenNeedsBindings) {
    TestKalvo t;
    writeBytes(settingsFile(t), "[Generell]\r\nGBlackScreen = 1\r\n[KeyKonfig]\r\nkeycode0 = 1|2|3|4\r\n");
    t.view.bs = true;
    t.k->shell.LoadSettings();
    EXPECT_EQ(t.k->settings.GBlackScreen, 0);
    EXPECT_FALSE(t.view.bs);
    t.k->shell.SaveSettings();
    EXPECT_TRUE(readBytes(settingsFile(t)).contains("\r\nGBlackScreen = 0\r\n"));
}

TEST(Settings, DamagedOrUnreadableFilesGiveTheFormatRulesValues) {
    {
        // Binary garbage with a valid key buried inside, no BOM.
        TestKalvo t;
        QByteArray junk;
        for (int i = 0; i < 100000; ++i) junk.append(char((i * 131 + 17) & 0xFF));
        junk.replace('[', '(');
        writeBytes(settingsFile(t), junk + "\r\n[Window]\r\nWinX=77\r\n");
        t.k->shell.LoadSettings();
        EXPECT_EQ(t.k->settings.WinX, 77);
        EXPECT_EQ(t.k->settings.TrashMax, 40);
    }
    {
        // A 10 MB line, duplicate groups and keys, Latin-1 letters.
        TestKalvo t;
        QByteArray text = "[Generell]\r\nLetzterPfad = /m\xFCsik\r\nSnooze = 3\r\nSnooze = 4\r\nLetzteListenDatei = ";
        text.append(QByteArray(10 * 1024 * 1024, 'a'));
        text.append("\r\n[Generell]\r\nTrashMax = 5\r\n");
        writeBytes(settingsFile(t), text);
        t.k->shell.LoadSettings();
        EXPECT_EQ(t.k->settings.LetzterPfad, QStringLiteral("/müsik"));
        EXPECT_EQ(t.k->settings.Snooze, 3);
        EXPECT_EQ(t.k->settings.TrashMax, 40);  // only the first "Generell" counts
        EXPECT_EQ(t.k->settings.LetzteListenDatei.size(), 10 * 1024 * 1024);
    }
    {
        // A folder where the file should be: defaults on load, nothing written on save.
        TestKalvo t;
        QDir().mkpath(settingsFile(t));
        t.k->shell.LoadSettings();
        EXPECT_EQ(t.k->settings.SprungwertWM, 30);
        t.k->shell.SaveSettings();
        EXPECT_TRUE(QFileInfo(settingsFile(t)).isDir());
        EXPECT_TRUE(t.messages.shown.isEmpty());
    }
}

TEST(Settings, ExtremeWindowValuesDoNotOverflowDerivedDefaults) {
    TestKalvo t;
    writeBytes(settingsFile(t), "[Window]\r\nWinX = -2147483648\r\nWinY = 2147483647\r\n");
    t.k->shell.LoadSettings();
    EXPECT_EQ(t.k->settings.WinXLied, 2147483644);  // wraps at 32 bits
    EXPECT_EQ(t.k->settings.WinYLied, -2147483648 + 209);
}

}  // namespace

TEST(Settings, AWindowPlaceThePlatformKeepsToItselfLeavesTheStoredPlace) {
    TestKalvo t;
    writeBytes(settingsFile(t), "[Window]\r\nWinX=300\r\nWinY=40\r\nWinXLied=310\r\nWinYLied=500\r\n");
    t.k->shell.LoadSettings();
    t.view.x = t.view.y = MainView::kPlaceUnknown;  // a Wayland session
    t.k->shell.SaveSettings();
    const QByteArray saved = readBytes(settingsFile(t));
    EXPECT_TRUE(saved.contains("WinX = 300\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("WinY = 40\r\n"));
    EXPECT_TRUE(saved.contains("WinXLied = 310\r\n"));
    EXPECT_TRUE(saved.contains("WinYLied = 500\r\n"));
}
