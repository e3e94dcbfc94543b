#include "shell/Shell.h"

#include <QDir>
#include <QFileInfo>

#include "playback/DeletionSound.h"
#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"
#include "playback/engines/SoundEffects.h"
#include "base/Clock.h"
#include "base/Desktop.h"
#include "base/FileOps.h"
#include "base/Folders.h"
#include "shell/Kalvo.h"
#include "remote/RemoteAction.h"
#include "base/Log.h"
#include "base/MainView.h"
#include "base/Messages.h"
#include "base/Windows.h"

namespace {
const QString kCannotCreate = QStringLiteral("Fehler - konnte Verzeichnis nicht anlegen: ");
}  // namespace

void Shell::LogLine(const QString& text) { appendLogLine(logFile, k.s.clock.localSeconds(), text); }

void Shell::PrepareFolders() {
    MainView& view = k.s.view;
    view.setTitle(QStringLiteral(" Kalvo2 0.992"));
    mainBaseWidth = view.innerWidth();
    mainBaseHeight = view.innerHeight();
    view.setListPanelColumnWidth(170);

    if (programFolder.isEmpty()) programFolder = AddBackslash(QDir::currentPath());
    else programFolder = AddBackslash(programFolder);

    // The data folder moved from the home folder to the XDG data folder;
    // only a folder that really is an old data folder is moved.
    const QString oldFolder = AddBackslash(QDir::homePath()) + QStringLiteral("Kalvo2/");
    dataFolder = oldFolder;
    const QString appData = genericDataFolder();
    if (!appData.isEmpty()) {
        const QString newFolder = AddBackslash(appData) + QStringLiteral("Kalvo2/");
        if (isOldDataFolder(oldFolder, newFolder) && !moveFolder(oldFolder, newFolder)) {
            ShowMessage(QStringLiteral("Err - Konnte Verzeichnis nicht ändern!\r\nVon: ") + oldFolder +
                        QStringLiteral("\r\nnach:") + newFolder + QStringLiteral("\r\n"));
        }
        dataFolder = newFolder;
    }

    TrashFolder = dataFolder + QStringLiteral("Kalvo-Kübel/");
    const QString logFolder = dataFolder + QStringLiteral("Log/");
    logFile = logFolder;

    if (!QFileInfo(dataFolder).isDir() && !QDir().mkpath(dataFolder)) {
        ShowMessage(kCannotCreate + dataFolder);
    } else {
        if (!QFileInfo(TrashFolder).isDir() && !QDir().mkdir(TrashFolder)) ShowMessage(kCannotCreate + TrashFolder);
        if (QFileInfo(logFolder).isDir() || QDir().mkdir(logFolder)) {
            const qint64 now = k.s.clock.localSeconds();
            logFile = logFileForDay(logFolder, now);
            if (logIsStale(logFile, now) && !k.s.files.removeFile(logFile))
                ShowMessage(QStringLiteral("Konnte nicht löschen: ") + logFile);
        } else {
            ShowMessage(kCannotCreate + logFolder);
        }
    }

    // Sound output covers the deletion sound and the module engine.
    const bool effectsReady = k.s.sounds.initialise();
    const bool modulesReady = k.s.modules.initialise();
    if (!effectsReady || !modulesReady) {
        ShowMessage(QStringLiteral("Fehler - kann die Tonausgabe nicht initialisieren! (Sound)"));
    }
    if (effectsReady) {
        const QString customSound = programFolder + QStringLiteral("delete.wav");
        const QFileInfo info(customSound);
        const bool custom = info.isFile() && info.size() > 0 &&
                            k.s.sounds.loadFromFile(DeletionSoundNumber, customSound);
        if (!custom) k.s.sounds.loadFromMemory(DeletionSoundNumber, builtinDeletionSound());
    }
    if (!k.s.media.initialise()) ShowMessage(QStringLiteral("Fehler - kann die Tonausgabe nicht initialisieren! (Movie)"));

    lastListSave = k.s.clock.localSeconds();

    LoadSettings();
    k.actions.CheckTrashFolder();
    k.library.ListeLaden(k.settings.LetzteListenDatei);

    markActivity();
    k.bindings.RegisterHotkeys();
    quitRequested = false;
    k.mpris.baseline();
}

void Shell::SaveAtExit() {
    // However the player quits, the song selection window keeps its place.
    k.selection.LiedauswahlSchliessen();
    k.library.ListeSpeichern(false);
    SaveSettings();
    k.trash.WriteTrashIndex();
}

bool Shell::ShowMessage(const QString& text, bool ask) {
    PassSuspension guard(*this);
    return k.s.messages.showMessage(text, ask);
}

void Shell::ShowSongText(const QString& text) { k.s.view.setSongText(text); }

void Shell::markActivity() { lastActivityTime = k.s.clock.tickMs(); }

void Shell::pass(const PassEvent& event) {
    if (suspended()) return;
    // Anything the pass starts that waits for events (a file dialog, a
    // message box) must not run a second pass inside this one.
    PassSuspension inPass(*this);

    switch (event.kind) {
    case PassEvent::Kind::Close:
        if (event.window == MainWindowNo) {
            k.selection.LiedauswahlSchliessen();
            quitRequested = true;
        } else if (event.window == SongSelectionNo) {
            k.selection.LiedauswahlSchliessen();
        } else if (event.window == BlackWindowNo) {
            k.blackscreen.LeaveBlackscreen();
        }
        break;
    case PassEvent::Kind::Menu:
        markActivity();
        dispatchMenu(event.item);
        break;
    case PassEvent::Kind::Control:
        dispatchControl(event);
        break;
    case PassEvent::Kind::Mpris:
        k.mpris.runPending();
        markActivity();
        break;
    case PassEvent::Kind::Remote:
        if (RunRemoteAction(k, RemoteAction(event.code))) markActivity();
        break;
    case PassEvent::Kind::Size:
        // The window layer applies the layout anchoring as the size changes.
    case PassEvent::Kind::KeyDown:
    case PassEvent::Kind::Hotkey:
    case PassEvent::Kind::Input:
    case PassEvent::Kind::Timeout:
        break;
    }

    const bool bindingKey = event.kind == PassEvent::Kind::KeyDown &&
                            (event.window == MainWindowNo || event.window == BlackWindowNo);
    const bool hotkey = event.kind == PassEvent::Kind::Hotkey;
    if ((bindingKey || hotkey) && k.bindings.DispatchKey(event.code, hotkey, event.autoRepeat)) markActivity();

    k.tick.MusCheckPlay();
    k.alarm.WeckenPruefen();
    k.blackscreen.CheckMonitorPower(event.rawMessage);
    k.bindings.HotkeyStep();
    // Only the sleep timer ends the music, not the power settings.
    k.s.desktop.holdOffSuspend(k.playback.playing());
    k.mpris.passEnded();
}

void Shell::openFolderOrTell(const QString& folder) {
    const auto tell = [this, folder](const QString& why) {
        LogLine(QStringLiteral("Ordner öffnen: ") + folder + QStringLiteral(" (") + why + QLatin1Char(')'));
        ShowMessage(QStringLiteral("Fehler - Kann Ordner nicht öffnen: ") + folder +
                    QStringLiteral("\r\nIst ein Dateimanager installiert?"));
    };
    if (!k.s.desktop.openFolder(folder, tell)) tell(k.s.desktop.lastError());
}

void Shell::dispatchMenu(int item) {
    switch (item) {
    case MenuListOpen: k.library.ListeOeffnen(); break;
    case MenuListNew: k.library.ListeSpeichernUnter(true); break;
    case MenuListSaveAs: k.library.ListeSpeichernUnter(false); break;
    case MenuTrashOpen: openFolderOrTell(TrashFolder); break;
    case MenuRestore: k.s.windows.openRestoreDialog(); break;
    case MenuUndoDelete: k.actions.UndoLastDelete(); break;
    case MenuQuit: quitRequested = true; break;
    case MenuListEdit: k.s.windows.openListEdit(); break;
    case MenuNewRandom: k.library.ZufallswerteNeu(); break;
    case MenuKeyConfig: k.s.windows.openKeyConfig(); break;
    case MenuInfo: k.s.windows.openInfo(); break;
    default: break;
    }
}

void Shell::dispatchControl(const PassEvent& event) {
    MainView& view = k.s.view;
    if (event.window == SongSelectionNo) {
        switch (event.item) {
        case CtlSelRefresh: k.selection.LiedauswahlFuellen(false); break;
        case CtlSelFind: k.selection.LiedauswahlFuellen(true); break;
        case CtlSelList: k.selection.LiedauswahlEreignis(event.subType); break;
        default: return;
        }
        markActivity();
        return;
    }
    if (event.window != MainWindowNo) return;

    switch (event.item) {
    case CtlPanelList:
        if (k.s.windows.listPanelEvent(event.subType)) markActivity();
        return;
    case CtlPanelDel:  // "Del" deletes the selected list as a right-click does
        if (k.s.windows.listPanelEvent(SubRightClick)) markActivity();
        return;
    case CtlPanelToggle: k.s.windows.toggleListPanel(); break;
    case CtlPathButton: openFolderOrTell(view.pathText()); break;
    case CtlSongButton: k.selection.LiedauswahlOeffnen(); break;
    case CtlVolume: k.playback.Lautstaerke(0); break;
    case CtlPlay: k.playback.Spielen(QString()); break;
    case CtlStop: k.playback.Stoppen(); break;
    case CtlPrev: k.playback.MusPrev(); break;
    case CtlNext: k.playback.MusNext(); break;
    case CtlJumpBack: k.playback.ZurueckSpringen(); break;
    case CtlJumpForward: k.playback.VorwaertsSpringen(); break;
    case CtlDelete: k.actions.DeleteCurrentSong(false); break;
    case CtlSnooze: k.settings.Snooze = view.snoozeText().toInt(); break;
    case CtlWecken: k.settings.GWecken = view.weckenBox() ? 1 : 0; break;
    case CtlWeckenH: k.settings.GWeckenH = view.alarmHour(); break;
    case CtlWeckenM: k.settings.GWeckenM = view.alarmMinute(); break;
    case CtlBlackscreen: k.blackscreen.EnableBlackscreen(); break;
    case CtlFortf: k.settings.FortwAbspielen = view.fortfBox() ? 1 : 0; break;
    case CtlZufall: k.library.RandomOrderChanged(); break;
    default: return;  // labels and fields do nothing and are no activity
    }
    markActivity();
}
