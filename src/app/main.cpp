// The composition root: picks the real services, builds the context, opens
// the main window, runs start-up, the event loop and the orderly exit.
#include <QApplication>
#include <QDir>
#include <QObject>
#include <QStyleFactory>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/LevellingSetup.h"
#include "app/DisplayStart.h"
#include "dialogs/CrashReportMode.h"
#include "dialogs/LayoutAnchors.h"
#include "dialogs/ListFileDialogs.h"
#include "dialogs/MainWindow.h"
#include "dialogs/PassDriver.h"
#include "dialogs/ProgramIcon.h"
#include "dialogs/QtWindows.h"
#include "dialogs/ScanProgressWindow.h"
#include "platform/InstanceLock.h"
#include "remote/platform/MprisService.h"
#include "platform/WindowActivation.h"
#include "platform/QtDesktop.h"
#include "platform/QtMessages.h"
#include "platform/QtTranslations.h"
#include "platform/QuitSignals.h"
#include "platform/SystemClock.h"
#include "platform/SystemRandom.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/GstSoundEffects.h"
#include "playback/engines/RendererModuleEngine.h"
#include "base/DiskWait.h"
#include "base/ErrorReport.h"
#include "base/FileOps.h"
#include "base/Folders.h"
#include "shell/Kalvo.h"
#include "shell/SingleInstance.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>


int main(int argc, char** argv) {
    const int crashRc = runCrashReportMode(argc, argv);
    if (crashRc >= 0) return crashRc;
    const int commandLineRc = handleCommandLine(argc, argv);
    if (commandLineRc >= 0) return commandLineRc;
    InstallErrorReport(argv[0]);

    armDisplayStartGuard();
    QApplication app(argc, argv);
    disarmDisplayStartGuard();
    QApplication::setApplicationName(QStringLiteral("kalvo2"));
    // The desktop file, the window, its icon and the desktop portal know the
    // player by this id.
    QApplication::setDesktopFileName(QStringLiteral("io.github.kalvo2.Kalvo2"));
    // Every window's icon, also where the desktop does not look it up
    // through the desktop file (X11 window managers read it from the window).
    QApplication::setWindowIcon(programIcon());
    // The windows are laid out in fixed pixels: one style and font everywhere.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setFont(layoutFont());
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's buttons and dialogs speak German like the rest ("Ja", "Abbrechen").
    const QString qtTextsProblem = installGermanQtTexts();
    if (!qtTextsProblem.isEmpty()) std::fprintf(stderr, "kalvo2: %s\n", qtTextsProblem.toLocal8Bit().constData());

    // One player per data folder: a second start raises the first and ends
    // here, before it touches any file.
    const InstancePlan instancePlan = planInstanceLock(genericDataFolder(), QDir::homePath());
    const QString raiseSocket = raiseSocketPath(instancePlan.dataFolder, qEnvironmentVariable("XDG_RUNTIME_DIR"));
    InstanceLock instanceLock;
    RaiseChannel raiseChannel;
    // Told at once on the error output, and written to the log once it is there.
    QStringList instanceProblems;
    const auto report = [&instanceProblems](const QString& line) {
        std::fprintf(stderr, "kalvo2: %s\n", line.toLocal8Bit().constData());
        instanceProblems << line;
    };
    const auto takeInstanceLock = [&]() -> bool {  // false: another player has the folder
        switch (instanceLock.acquire(instancePlan.dataFolder)) {
        case InstanceLock::Result::Acquired:
            if (!raiseChannel.listen(raiseSocket))
                report(QStringLiteral("Fehler - kein Socket für den zweiten Start: ") + raiseSocket + QStringLiteral(" (") +
                       raiseChannel.problem + QStringLiteral(")"));
            return true;
        case InstanceLock::Result::HeldByOther:
            std::fprintf(stderr, "kalvo2: Ein Kalvo2 läuft schon mit dem Datenordner %s; sein Fenster wird gezeigt.\n",
                         instancePlan.dataFolder.toLocal8Bit().constData());
            // The launcher's activation token lets it come to the front on Wayland.
            if (!RaiseChannel::askToRaise(raiseSocket, 10000, qgetenv("XDG_ACTIVATION_TOKEN")))
                std::fprintf(stderr, "kalvo2: Der laufende Kalvo2 antwortet nicht.\n");
            return false;
        case InstanceLock::Result::Failed:  // start-up goes on, unguarded
            report(QStringLiteral("Fehler - keine Sperre im Datenordner: ") + instancePlan.dataFolder +
                   QLatin1String(kInstanceLockName) + QStringLiteral(" (") + instanceLock.problem + QStringLiteral(")"));
            return true;
        }
        return true;
    };
    if (instancePlan.lockBeforeStartUp && !takeInstanceLock()) return 0;

    QtMessages messages;
    const float layoutScale = 1.0f;
    auto mainWindow = std::make_unique<MainWindow>(layoutScale);
    if (!mainWindow->clientArea()) {
        messages.showMessage(QStringLiteral("Fehler: Konnte Haupt-Fenster nicht öffnen!"), false);
        return 1;
    }
    if (!mainWindow->createMenu())
        messages.showMessage(QStringLiteral("Fehler: Konnte Haupt-Menü nicht öffnen!"), false);
    mainWindow->show();
    messages.setMainWindow(mainWindow.get());
    raiseChannel.onRaise = [w = mainWindow.get()](const QByteArray& token) { showAndActivate(w, token); };
    QCoreApplication::processEvents();  // let it appear before the start-up work

    SystemClock clock;
    QtDesktop desktop;
    FileOps files;
    SystemRandom random;
    ScanProgressWindow progress(mainWindow.get());
    ListFileDialogs fileDialogs(mainWindow.get());
    QtWindows windows(mainWindow.get());
    GstMediaEngine media;
    RendererModuleEngine modules(media);
    GstSoundEffects sounds;
    Services services{*mainWindow, messages, clock,   desktop, files, random,
                      progress,    fileDialogs, windows, media, modules, sounds};
    Kalvo k(services);
    windows.attach(k);
    k.shell.layoutScale = layoutScale;
    k.shell.programFolder = AddBackslash(QCoreApplication::applicationDirPath());
    // A renderer that crashes or hangs on a module, and a sound output that
    // fails under either engine, is worth a log line.
    modules.logger = [&k](const QString& line) { k.shell.LogLine(line); };
    media.logger = [&k](const QString& line) { k.shell.LogLine(line); };

    PassDriver driver(k);
    mainWindow->setEventSink([&driver](const PassEvent& e) { driver.deliver(e); });
    windows.setEventSink([&driver](const PassEvent& e) { driver.deliver(e); });
    desktop.setHotkeySink([&driver](int id, bool autoRepeat) {
        PassEvent e;
        e.kind = PassEvent::Kind::Hotkey;
        e.code = id;
        e.autoRepeat = autoRepeat;
        driver.deliver(e);
    });
    // A desktop shortcut runs the binding it was made for, as its hotkey does.
    desktop.setShortcutSink([&driver](const QString& id, bool repeat) {
        PassEvent e;
        e.kind = PassEvent::Kind::Hotkey;
        e.code = KeyBindings::HotkeyIdOfShortcut(id);
        e.autoRepeat = repeat;
        if (e.code > 0) driver.deliver(e);
    });
    desktop.setLogger([&k](const QString& line) { k.shell.LogLine(line); });
    // "kalvo2 --next" and its kin act as their keys do: in a pass of their
    // own, dropped while a message box or blocking window holds the pass.
    // The pass runs after the answer has gone out: what it does may take a
    // while (loading the next song) and must not keep the asker waiting.
    // An open message box or blocking window drops the action as it drops
    // a key; a pass under way (it may wait for the sound output) only
    // delays it.
    std::function<void(RemoteAction)> runRemote = [&driver, &k, &runRemote](RemoteAction action) {
        if (driver.isDone() || QApplication::activeModalWidget()) return;
        // A pass under way (it may wait for the sound output and serve
        // events meanwhile) would drop the action: it waits for the pass.
        if (k.shell.suspended() || driver.inAPass()) {
            QTimer::singleShot(20, &driver, [&runRemote, action] { runRemote(action); });
            return;
        }
        PassEvent e;
        e.kind = PassEvent::Kind::Remote;
        e.window = MainWindowNo;
        e.code = int(action);
        driver.deliver(e);
    };
    raiseChannel.onAction = [&driver, &runRemote](RemoteAction action) {
        if (!driver.isRunning() || QApplication::activeModalWidget()) return false;
        QTimer::singleShot(0, &driver, [&runRemote, action] { runRemote(action); });
        return true;
    };
    raiseChannel.logger = [&k](const QString& line) { k.shell.LogLine(line); };
    QObject::connect(&driver, &PassDriver::finished, &app, [] { QCoreApplication::exit(0); });
    QuitSignals quitSignals;
    quitSignals.install();
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &driver, &PassDriver::requestQuit);

    k.shell.PrepareFolders();
    // Every song plays at an even loudness: the output stage asks for its gain.
    LevellingSetup levelling;
    levelling.start(k, *mainWindow, modules.executable());
    // An old data folder was moved in just now: lock it before any write.
    if (!instancePlan.lockBeforeStartUp && !takeInstanceLock()) return 0;
    for (const QString& line : instanceProblems) k.shell.LogLine(line);
    if (!qtTextsProblem.isEmpty()) k.shell.LogLine(qtTextsProblem);

    // Media keys, the sound applet, phone remotes and playerctl reach the
    // player through MPRIS2; without a bus everything else works.
    k.mpris.passSink = [&driver](const PassEvent& e) { driver.deliver(e); };
    MprisService mpris(k.mpris, [w = mainWindow.get()] { showAndActivate(w); });
    const QString mprisProblem = mpris.registerOn(QDBusConnection::sessionBus());
    if (!mprisProblem.isEmpty()) k.shell.LogLine(QStringLiteral("MPRIS2: ") + mprisProblem);
    driver.start();
    if (!driver.isDone()) app.exec();

    raiseChannel.onAction = {};
    raiseChannel.logger = {};
    mainWindow->setEventSink({});
    windows.setEventSink({});
    desktop.setHotkeySink({});
    desktop.setShortcutSink({});
    desktop.setLogger({});
    k.shell.SaveAtExit();
    mainWindow->closeForGood();
    if (k.s.media.isLoaded()) k.s.media.release();
    if (k.s.modules.isLoaded()) k.s.modules.release();
    // Everything is saved. A look into a share that never answered may still
    // hold a thread in the kernel, and a destructor (the explorer's file
    // model) would wait for it: the process ends here instead.
    if (anyStalled()) {
        std::fflush(nullptr);
        ::_exit(0);
    }
    return 0;
}
