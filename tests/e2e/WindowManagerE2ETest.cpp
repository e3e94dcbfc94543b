// The real player under a real window manager (openbox on a private X
// server): owned windows, message boxes shown from dialogs, where windows
// open, and a crash with the black screen up.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <csignal>

#include "e2e/RemotePlayer.h"
#include "fixtures/ManagedDisplay.h"

using namespace xsession;
using namespace remote;

namespace {

const QString kBoxTitle = QStringLiteral("Kalvo2 Meldung");

// The player on its own display with openbox; every xdotool call of the
// test goes to that display.
struct ManagedPlayer : RemotePlayer {
    fixtures::ManagedDisplay display;
    std::unique_ptr<fixtures::DisplayOverride> useIt;
    ManagedPlayer() {
        if (display.ok()) useIt = std::make_unique<fixtures::DisplayOverride>(display.name());
    }
    ~ManagedPlayer() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

// The inner area of a window on the screen. xdotool adds the frame's
// offset twice for a window that a window manager has framed; xwininfo
// tells it right.
QRect inner(const QString& window) {
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    p.waitForFinished(10000);
    int x = 0, y = 0, w = 0, h = 0;
    for (const QString& l : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const int v = l.section(':', 1).trimmed().toInt();
        if (l.contains("Absolute upper-left X:")) x = v;
        if (l.contains("Absolute upper-left Y:")) y = v;
        if (l.trimmed().startsWith("Width:")) w = v;
        if (l.trimmed().startsWith("Height:")) h = v;
    }
    return QRect(x, y, w, h);
}

void clickIn(const QString& window, int x, int y) {
    const QRect g = inner(window);
    xdotool({"mousemove", "--sync", QString::number(g.x() + x), QString::number(g.y() + y)});
    QThread::msleep(150);
    xdotool({"click", "1"});
    QThread::msleep(300);
}

// A click at x, y of the main window's area below the menu bar.
void clickMain(ManagedPlayer& p, int x, int y) {
    clickIn(p.window, x, inner(p.window).height() - 180 + y);
}

// Opens the menu "menu" steps to the right of "Datei" and its item steps
// down: "Datei" is clicked, and once its popup is up, Right and Left make its
// first item the active one. Keys reach an open menu through the window that
// has the focus, the main window: keys sent before the popup is up, or
// before the main window has the focus again after a dialog, are lost or
// land elsewhere.
void openMenuItem(ManagedPlayer& p, int menu, int steps) {
    const int menuBar = inner(p.window).height() - 180;
    waitUntilActive(p.window);
    clickIn(p.window, 15, menuBar / 2);
    // A popup not seen in time is given the keys all the same: an opening
    // that failed shows as the missing window that follows.
    waitForPopupMenu(p.process.processId(), 4000);
    waitUntilActive(p.window);
    QStringList keys{"key", "Right", "Left"};
    for (int i = 0; i < menu; ++i) keys << "Right";
    for (int i = 0; i < steps; ++i) keys << "Down";
    keys << "Return";
    xdotool(keys);
}

// Opens a menu item and waits for the window titled `title` it brings. On a
// loaded machine a menu may lose its keys (nothing opens) or take one too
// few (a neighbour's box opens): what came is closed and the menu tried
// again, at most three times. What the window then does is the test's.
QString openMenuWindow(ManagedPlayer& p, int menu, int steps, const QString& title) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        openMenuItem(p, menu, steps);
        const QString window = waitForWindow(title, 5000);
        if (!window.isEmpty()) return window;
        const QString box = waitForWindow(kBoxTitle, 500);
        if (!box.isEmpty()) {
            requestClose(box);
            waitUntilGone(kBoxTitle);
        }
        xdotool({"key", "Escape", "Escape"});
        QThread::msleep(300);
    }
    return QString();
}

QString openFromDatei(ManagedPlayer& p, int steps, const QString& title) {
    return openMenuWindow(p, 0, steps, title);
}

QString openKeyConfig(ManagedPlayer& p) {  // "Extras", its first item
    return openMenuWindow(p, 2, 0, QStringLiteral("Tasten, Presenter Konfiguration"));
}

// A box appears, is closed by its close box (as OK), and goes.
bool boxComesAndGoes() {
    const QString box = waitForWindow(kBoxTitle, 5000);
    if (box.isEmpty()) return false;
    requestClose(box);
    return waitUntilGone(kBoxTitle);
}

// _NET_FRAME_EXTENTS: left, right, top, bottom.
QList<int> frameExtents(const ManagedPlayer& p, const QString& window) {
    const QString out = p.display.run("xprop", {"-id", window, "_NET_FRAME_EXTENTS"});
    QList<int> v;
    for (const QString& n : out.section('=', 1).split(',')) v << n.trimmed().toInt();
    while (v.size() < 4) v << 0;
    return v;
}

QRect frameOf(const ManagedPlayer& p, const QString& window) {
    const QRect g = inner(window);
    const QList<int> e = frameExtents(p, window);
    return g.adjusted(-e[0], -e[2], e[1], e[3]);
}

// The managed windows, bottom to top.
QStringList stacking(const ManagedPlayer& p) {
    const QString out = p.display.run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
    QStringList ids;
    for (const QString& hex : out.section('#', 1).split(','))
        ids << QString::number(hex.trimmed().toULong(nullptr, 16));
    return ids;
}

// The settings' [Window] group: the main window's top left at x, y.
void placeMainWindow(const ManagedPlayer& p, int x, int y) {
    QFile ini(p.data + "Kalvo2.ini");
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write(QStringLiteral("[Window]\r\nWinX = %1\r\nWinY = %2\r\n").arg(x).arg(y).toLatin1());
}

// "Lied:" opens the song selection window; its id once it is up.
QString openSongSelection(ManagedPlayer& p) {
    clickMain(p, 25, 65);
    const QString selection = waitForWindow(QStringLiteral("Lied ausw"));
    QThread::msleep(500);  // the window manager's last move
    return selection;
}

}  // namespace

// Each test has a player of its own on a display of its own with openbox.
class WindowManagerE2E : public ::testing::Test {
protected:
    ManagedPlayer p;
    void SetUp() override {
        if (!p.display.ok()) GTEST_SKIP() << p.display.problem.toStdString();
    }
};

// After each message box the key configuration window takes clicks again:
// a second click on "Löschen" with nothing selected brings the next box.
// Each opening is a new window, visited by the box in a new order.
TEST_F(WindowManagerE2E, KeyConfigurationWindowStaysUsableAfterMessageBoxes) {
    p.prepare({});
    ASSERT_TRUE(p.up());
    for (int opening = 0; opening < 4; ++opening) {
        const QString config = openKeyConfig(p);
        ASSERT_FALSE(config.isEmpty()) << "opening " << opening;
        for (int box = 0; box < 2; ++box) {
            clickIn(config, 505, 20);  // "Löschen": "Nichts in Liste ausgewählt!"
            ASSERT_TRUE(boxComesAndGoes()) << "opening " << opening << ", box " << box
                                           << ": the window took no click";
        }
        requestClose(config);
        ASSERT_TRUE(waitUntilGone(QStringLiteral("Tasten, Presenter Konfiguration")));
    }
    p.quit();
}

// The restore dialog opens centred on the main window (where it fits on the
// screen), and after its counts message "Fertig" still closes it.
TEST_F(WindowManagerE2E, RestoreDialogIsCentredAndFertigWorksAfterItsCountsMessage) {
    p.prepare({}, "");
    // A main window where an 800 x 400 dialog can be centred on it.
    placeMainWindow(p, 300, 300);
    ASSERT_TRUE(p.up());
    const QString title = QStringLiteral("Kalvo2 Dateien wiederherstellen");
    for (int opening = 0; opening < 4; ++opening) {
        const QString dialog = openFromDatei(p, 4, title);  // "Dateien wiederherstellen"
        ASSERT_FALSE(dialog.isEmpty()) << "opening " << opening;
        QThread::msleep(300);
        const QPoint offset = frameOf(p, dialog).center() - frameOf(p, p.window).center();
        EXPECT_LE(offset.manhattanLength(), 24) << "dialog " << frameOf(p, dialog).x() << "," << frameOf(p, dialog).y()
                                               << " main " << frameOf(p, p.window).x() << ","
                                               << frameOf(p, p.window).y();
        clickIn(dialog, 360, 380);  // "Wiederherstellen": "0 Datei(en) wiederhergestellt ..."
        ASSERT_TRUE(boxComesAndGoes()) << "opening " << opening;
        clickIn(dialog, 455, 380);  // "Fertig"
        ASSERT_TRUE(waitUntilGone(title)) << "opening " << opening << ": \"Fertig\" did nothing";
    }
    p.quit();
}

// "Lied:" opens the song selection window as a window owned by the main
// window, just below the main window's frame, and it stays above the main
// window when that is clicked.
TEST_F(WindowManagerE2E, SongSelectionWindowIsOwnedAndOpensBelowTheMainWindow) {
    p.prepare({});
    ASSERT_TRUE(p.up());
    const QString selection = openSongSelection(p);
    ASSERT_FALSE(selection.isEmpty());
    const QString owner = p.display.run("xprop", {"-id", selection, "WM_TRANSIENT_FOR"});
    EXPECT_TRUE(owner.contains("window id #")) << owner.toStdString();
    EXPECT_EQ(owner.section('#', 1).trimmed().toULong(nullptr, 16), p.window.toULong()) << owner.toStdString();

    const QRect main = frameOf(p, p.window), below = frameOf(p, selection);
    EXPECT_GT(below.top(), main.bottom()) << "title bar over the main window: " << below.top() << " <= " << main.bottom();
    EXPECT_LE(below.top(), main.bottom() + 8);

    clickMain(p, 200, 170);  // somewhere on the main window
    QThread::msleep(500);
    const QStringList order = stacking(p);
    EXPECT_GT(order.indexOf(selection), order.indexOf(p.window)) << order.join(' ').toStdString();
    p.quit();
}

// A crash while the black screen is up: the crashed player is gone with its
// windows before the report shows, the report is on top, and a new start
// runs at once (the lock is free).
TEST_F(WindowManagerE2E, CrashWithTheBlackScreenUpLeavesNothingBehind) {
    p.prepare({"1|27|0|6"}, "GBlackScreen = 1\r\n");
    ASSERT_TRUE(p.up());
    clickMain(p, 30, 117);  // "Spielen"
    ASSERT_FALSE(waitForWindow(QStringLiteral("Kalvo BlackWin")).isEmpty()) << "no black screen";
    ASSERT_TRUE(p.hears(1));

    ::kill(pid_t(p.process.processId()), SIGSEGV);
    const QString report = waitForWindow(kBoxTitle, 30000);
    ASSERT_FALSE(report.isEmpty()) << "no report";
    EXPECT_TRUE(p.process.waitForFinished(3000)) << "the crashed player still runs while the report shows";
    EXPECT_TRUE(xdotool({"search", "--name", "Kalvo BlackWin"}).isEmpty()) << "the black window stays";
    QThread::msleep(300);
    EXPECT_TRUE(p.display.run("xwininfo", {"-id", report}).contains("Map State: IsViewable"));
    const QStringList order = stacking(p);
    EXPECT_EQ(order.value(order.size() - 1), report) << order.join(' ').toStdString();

    // The next start takes the data folder: its own main window appears.
    p.process.waitForFinished(10000);
    p.start();
    const QString second = waitForWindow(QStringLiteral(" Kalvo2 0.992"), 8000);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_EQ(xdotool({"getwindowpid", second}).toLongLong(), p.process.processId())
        << "the window is the crashed player's";
    QThread::msleep(1000);
    EXPECT_EQ(p.process.state(), QProcess::Running) << "the new start ended (the lock was held)";
    requestClose(report);
    waitUntilGone(kBoxTitle);
    if (p.process.state() == QProcess::Running) p.quit();
}

namespace {

// A picture of the whole screen for whoever reads the test's results:
// <build>/screenshots/<name>.png.
void screenshot(const ManagedPlayer& p, const QString& name) {
    const QString folder = QStringLiteral(KALVO_BINARY_DIR "/screenshots/");
    QDir().mkpath(folder);
    p.display.run("import", {"-window", "root", folder + name + ".png"});
}

}  // namespace

// The title bars and the task switcher show the player's icon: the main
// window and the song selection window carry it (_NET_WM_ICON).
TEST_F(WindowManagerE2E, WindowsCarryTheProgramIcon) {
    p.prepare({});
    ASSERT_TRUE(p.up());
    const QString selection = openSongSelection(p);
    ASSERT_FALSE(selection.isEmpty());
    screenshot(p, QStringLiteral("window-icons"));
    for (const QString& w : {p.window, selection}) {
        const QString icon = p.display.run("xprop", {"-id", w, "_NET_WM_ICON"});
        EXPECT_TRUE(icon.contains("Icon (48 x 48)")) << w.toStdString() << ": " << icon.left(200).toStdString();
    }
    p.quit();
}

// Below a main window low on the screen, the file dialog "Liste öffnen"
// shows whole: title bar and bottom border on the screen (1280 x 1024).
TEST_F(WindowManagerE2E, FileDialogOfALowMainWindowIsShownWhole) {
    p.prepare({}, "");
    placeMainWindow(p, 300, 760);
    ASSERT_TRUE(p.up());
    const QRect screen(0, 0, 1280, 1024);

    const QString dialog = openFromDatei(p, 0, QStringLiteral("Liste öffnen"));
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(waitUntilActive(dialog));
    QThread::msleep(300);  // the window manager's last move
    screenshot(p, QStringLiteral("file-dialog-low"));
    const QRect d = frameOf(p, dialog);
    EXPECT_TRUE(screen.contains(d)) << "file dialog frame " << d.x() << "," << d.y() << " " << d.width() << "x"
                                    << d.height();
    xdotool({"key", "Escape"});
    waitUntilGone(QStringLiteral("Liste öffnen"));
    p.quit();
}

// Below a main window low on the screen, the song selection window opens
// just below the main window's frame and gives up height rather than its
// place: its whole frame, the list's bottom edge included, is on the screen.
TEST_F(WindowManagerE2E, SongSelectionWindowOfALowMainWindowIsShownWhole) {
    p.prepare({}, "");
    placeMainWindow(p, 300, 560);
    ASSERT_TRUE(p.up());
    const QRect screen(0, 0, 1280, 1024);

    const QString selection = openSongSelection(p);
    ASSERT_FALSE(selection.isEmpty());
    screenshot(p, QStringLiteral("song-selection-low"));
    const QRect main = frameOf(p, p.window), below = frameOf(p, selection);
    EXPECT_TRUE(screen.contains(below)) << "song selection frame " << below.x() << "," << below.y() << " "
                                        << below.width() << "x" << below.height();
    EXPECT_GT(below.top(), main.bottom()) << "title bar over the main window: " << below.top() << " <= " << main.bottom();
    EXPECT_LE(below.top(), main.bottom() + 8);
    EXPECT_LT(below.height(), 300) << "not cut";
    p.quit();
    // The height the screen took is not stored as the user's.
    QFile settings(p.data + "Kalvo2.ini");
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(settings.readAll());
    EXPECT_TRUE(stored.contains(QRegularExpression("WinYDLied *= *300\\b"))) << stored.toStdString();
}
