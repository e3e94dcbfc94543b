// The composition root: picks the real services, builds the context, opens
// the main window, runs start-up, the event loop and the orderly exit.
#include <QApplication>
#include <QObject>
#include <QStyleFactory>

#include "dialogs/CrashReportMode.h"
#include "dialogs/LayoutAnchors.h"
#include "dialogs/ListFileDialogs.h"
#include "dialogs/MainWindow.h"
#include "dialogs/PassDriver.h"
#include "dialogs/QtWindows.h"
#include "dialogs/ScanProgressWindow.h"
#include "platform/QtDesktop.h"
#include "platform/QtMessages.h"
#include "platform/QuitSignals.h"
#include "platform/SystemClock.h"
#include "platform/SystemRandom.h"
#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/GstSoundEffects.h"
#include "playback/engines/RendererModuleEngine.h"
#include "base/ErrorReport.h"
#include "base/FileOps.h"
#include "shell/Kalvo.h"

#include <memory>

int main(int argc, char** argv) {
    const int crashRc = runCrashReportMode(argc, argv);
    if (crashRc >= 0) return crashRc;
    InstallErrorReport(argv[0]);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvo2"));
    QApplication::setDesktopFileName(QStringLiteral("kalvo2"));
    // The windows are laid out in fixed pixels: one style and font everywhere.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setFont(layoutFont());
    QApplication::setQuitOnLastWindowClosed(false);

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
    QCoreApplication::processEvents();  // let it appear before the start-up work

    SystemClock clock;
    QtDesktop desktop;
    FileOps files;
    SystemRandom random;
    ScanProgressWindow progress(mainWindow.get());
    ListFileDialogs fileDialogs(mainWindow.get());
    QtWindows windows(mainWindow.get());
    GstMediaEngine media;
    RendererModuleEngine modules;
    GstSoundEffects sounds;
    Services services{*mainWindow, messages, clock,   desktop, files, random,
                      progress,    fileDialogs, windows, media, modules, sounds};
    Kalvo k(services);
    windows.attach(k);
    k.shell.layoutScale = layoutScale;
    k.shell.programFolder = AddBackslash(QCoreApplication::applicationDirPath());
    // A renderer that crashes or hangs on a module is worth a log line.
    modules.logger = [&k](const QString& line) { k.shell.LogLine(line); };

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
    QObject::connect(&driver, &PassDriver::finished, &app, [] { QCoreApplication::exit(0); });
    QuitSignals quitSignals;
    quitSignals.install();
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &driver, &PassDriver::requestQuit);

    k.shell.PrepareFolders();
    driver.start();
    if (!driver.isDone()) app.exec();

    mainWindow->setEventSink({});
    windows.setEventSink({});
    desktop.setHotkeySink({});
    k.shell.SaveAtExit();
    mainWindow->closeForGood();
    if (k.s.media.isLoaded()) k.s.media.release();
    if (k.s.modules.isLoaded()) k.s.modules.release();
    return 0;
}
