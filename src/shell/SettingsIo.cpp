#include "remote/KeyBindings.h"
#include "shell/Kalvo.h"
#include "base/MainView.h"
#include "base/PreferenceFile.h"
#include "base/Windows.h"

namespace {
uint8_t flag(PreferenceFile& f, const char* key, int def) {
    return uint8_t(f.readInteger(QString::fromLatin1(key), def));  // low 8 bits
}
int integer(PreferenceFile& f, const char* key, int def) { return f.readInteger(QString::fromLatin1(key), def); }
QString text(PreferenceFile& f, const char* key, const QString& def) { return f.readString(QString::fromLatin1(key), def); }
}  // namespace

void Shell::LoadSettings() {
    Settings& s = k.settings;
    MainView& view = k.s.view;
    const Settings defaults;
    PreferenceFile f;
    f.openPreferences(dataFolder + QStringLiteral("Kalvo2.ini"));

    f.selectGroup(QStringLiteral("Generell"));
    s.TrackerModDateiPattern = text(f, "TrackerModDateiPattern", defaults.TrackerModDateiPattern).toLower();
    s.WinMediaDateiPattern = text(f, "WinMediaDateiPattern", defaults.WinMediaDateiPattern).toLower();
    s.SprungwertWM = integer(f, "SprungwertWM", defaults.SprungwertWM);
    s.TrashMax = integer(f, "TrashMax", defaults.TrashMax);
    if (!Trash::isValidLimit(s.TrashMax)) {
        // 0, negative, empty or no number: no limit the surplus rule can work with.
        LogLine(QStringLiteral("LoadSettings: TrashMax = ") + text(f, "TrashMax", QString()) +
                QStringLiteral(" ist kleiner als 1 - verwendet wird ") + QString::number(defaults.TrashMax));
        s.TrashMax = defaults.TrashMax;
    }
    s.TimeoutTM = integer(f, "TimeoutTM", defaults.TimeoutTM);
    s.LoopoutTM = integer(f, "LoopoutTM", defaults.LoopoutTM);
    s.Snooze = integer(f, "Snooze", defaults.Snooze);
    view.setSnoozeText(QString::number(s.Snooze));

    s.LetzterPfad = text(f, "LetzterPfad", defaults.LetzterPfad);
    s.LetzteListenDatei = text(f, "LetzteListenDatei", defaults.LetzteListenDatei);
    view.setListName(filePart(s.LetzteListenDatei));

    s.FortwAbspielen = flag(f, "FortwAbspielen", defaults.FortwAbspielen);
    s.Repeat = flag(f, "Repeat", defaults.Repeat);
    s.ZufallAbspielen = flag(f, "ZufallAbspielen", defaults.ZufallAbspielen);
    s.GBlackScrMonOff = integer(f, "GBlackScrMonOff", defaults.GBlackScrMonOff);
    view.setFortfBox(s.FortwAbspielen != 0);
    view.setZufallBox(s.ZufallAbspielen != 0);

    s.GBlackScreen = flag(f, "GBlackScreen", defaults.GBlackScreen);
    s.GWecken = flag(f, "GWecken", defaults.GWecken);
    s.GWeckenH = integer(f, "GWeckenH", defaults.GWeckenH);
    s.GWeckenM = integer(f, "GWeckenM", defaults.GWeckenM);
    view.setWeckenBox(s.GWecken != 0);
    view.setAlarmHour(s.GWeckenH);
    view.setAlarmMinute(s.GWeckenM);

    f.selectGroup(QStringLiteral("Window"));
    s.WinX = integer(f, "WinX", defaults.WinX);
    s.WinY = integer(f, "WinY", defaults.WinY);
    view.moveWindow(s.WinX, s.WinY);
    // Wrapping arithmetic: a hostile WinX of INT_MIN must not overflow.
    s.WinXLied = integer(f, "WinXLied", int32_t(uint32_t(s.WinX) - 4u));
    s.WinXDLied = integer(f, "WinXDLied", mainBaseWidth);
    const int32_t derivedY = int32_t(uint32_t(s.WinY) + uint32_t(mainBaseHeight) + 30u);
    s.WinYLied = integer(f, "WinYLied", derivedY);
    // The derived value, read or written back unchanged, stands for "just
    // below the main window".
    s.WinYLiedDerived = s.WinYLied == derivedY;
    s.WinYDLied = integer(f, "WinYDLied", defaults.WinYDLied);

    f.selectGroup(QStringLiteral("KeyKonfig"));
    k.bindings.LoadBindings(f);
    if (k.bindings.KeyBindingList.isEmpty()) s.GBlackScreen = 0;
    view.setBlackscreenBox(s.GBlackScreen != 0);

    f.closePreferences();
}

int32_t Shell::songWindowTop() const {
    const int below = k.s.windows.belowMainWindow();
    return k.settings.WinYLiedDerived && below != Windows::Unknown ? below : k.settings.WinYLied;
}

void Shell::SaveSettings() {
    const Settings& s = k.settings;
    const QString empty;
    PreferenceFile f;
    const QString file = dataFolder + QStringLiteral("Kalvo2.ini");
    bool written = f.createPreferences(file);
    if (written) {
        auto c = [&f](const QString& t) { f.writeComment(t); };
        auto i = [&f](const char* key, int v) { f.writeInteger(QString::fromLatin1(key), v); };
        auto t = [&f](const char* key, const QString& v) { f.writeString(QString::fromLatin1(key), v); };

        f.selectGroup(QStringLiteral("Generell"));
        c(empty);
        c(QStringLiteral("Nur die Dateien mit folgenden Pattern werden geladen (klein schreiben!)"));
        c(QStringLiteral("Es ist nicht ganz klar, welche Trackermodule unterstützt werden - hier können neue hinzu gefügt werden - ohne Unterstützung passiert höchstens ein Fehler beim Laden..."));
        c(QStringLiteral("Der WindowsMedia kann theoretisch beliebige Dateien abspielen, abhängig von installierten Codecs - man kann also versuchen, falls gewünscht, weitere Typen hier einzufügen"));
        c(empty);
        t("TrackerModDateiPattern", s.TrackerModDateiPattern);
        t("WinMediaDateiPattern", s.WinMediaDateiPattern);
        c(empty);
        c(QStringLiteral("Folgende Werte werden bei '<' und '>' verwendet. TM: Pattern, WM: Sekunden"));
        i("SprungwertWM", s.SprungwertWM);
        c(empty);
        c(QStringLiteral("Maximale Anzahl gelöschte Dateien im Kalvo-Kübel"));
        i("TrashMax", s.TrashMax);
        c(empty);
        c(QStringLiteral("Anzahl Sekunden, nachdem Kalvo entscheiden darf, ob ein Modul endlos looped - und es stoppt"));
        c(QStringLiteral("Anzahl Track-Loops über das ganze Stück, die erlaubt sind"));
        i("TimeoutTM", s.TimeoutTM);
        i("LoopoutTM", s.LoopoutTM);
        c(QStringLiteral("Einschlafautomatik: Anzahl Minuten ohne Aktivität (Spulen, Nächstes Stück, Lautstärke), nach der die Wiedergabe stoppt - 0=deaktiviert"));
        i("Snooze", s.Snooze);
        c(empty);
        t("LetzterPfad", s.LetzterPfad);
        t("LetzteListenDatei", s.LetzteListenDatei);
        c(empty);
        i("FortwAbspielen", s.FortwAbspielen);
        i("Repeat", s.Repeat);
        i("ZufallAbspielen", s.ZufallAbspielen);
        i("GBlackScrMonOff", s.GBlackScrMonOff);
        c(QStringLiteral(">0 ->bei Blackscreen wird auch versucht den Monitor abzustellen"));
        c(QStringLiteral("und: Anzahl Sekunden nach Ereignis, bis Monitor wieder ausgeschaltet wird"));
        c(empty);
        i("GBlackScreen", s.GBlackScreen);
        i("GWecken", s.GWecken);
        i("GWeckenH", s.GWeckenH);
        i("GWeckenM", s.GWeckenM);
        c(empty);
        c(empty);

        f.selectGroup(QStringLiteral("Window"));
        c(empty);
        // Where the platform keeps the window's place to itself, the stored one stays.
        const bool placeKnown = k.s.view.windowX() != MainView::kPlaceUnknown;
        i("WinX", placeKnown ? k.s.view.windowX() : s.WinX);
        i("WinY", placeKnown ? k.s.view.windowY() : s.WinY);
        c(empty);
        i("WinXLied", s.WinXLied);
        i("WinXDLied", s.WinXDLied);
        i("WinYLied", s.WinYLied);
        i("WinYDLied", s.WinYDLied);
        c(empty);
        c(empty);

        f.selectGroup(QStringLiteral("KeyKonfig"));
        k.bindings.SaveBindings(f);
        written = f.closePreferences();
    }
    // The old file stays byte for byte; nothing is shown, the log says why.
    if (!written)
        LogLine(QStringLiteral("SaveSettings: Konnte Datei nicht schreiben: ") + file + QStringLiteral(" (") +
                f.errorString() + QLatin1Char(')'));
}
