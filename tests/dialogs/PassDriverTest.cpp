#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "QtApp.h"
#include "dialogs/MainWindow.h"
#include "dialogs/PassDriver.h"
#include "fakes/Fakes.h"
#include "platform/QtMessages.h"
#include "platform/QuitSignals.h"

namespace {

PassEvent menu(int item) {
    PassEvent e;
    e.kind = PassEvent::Kind::Menu;
    e.window = MainWindowNo;
    e.item = item;
    return e;
}

// Spins the event loop until done() or about ten seconds have passed.
template <class F>
bool waitFor(F done) {
    for (int i = 0; i < 200 && !done(); ++i) QTest::qWait(50);
    return done();
}

}  // namespace

TEST(PassDriver, RunsPassesOnlyWhileRunningAndStopsAfterQuit) {
    qtApp();
    TestKalvo t;
    PassDriver driver(*t.k);
    QSignalSpy finished(&driver, &PassDriver::finished);
    driver.deliver(PassEvent{});
    EXPECT_EQ(driver.passCount(), 0);  // start-up is not over yet

    driver.start();
    driver.deliver(PassEvent{});
    EXPECT_EQ(driver.passCount(), 1);
    // The 105 ms timer keeps passing without any event.
    EXPECT_TRUE(waitFor([&] { return driver.passCount() >= 3; }));

    driver.deliver(menu(MenuQuit));
    EXPECT_TRUE(driver.isDone());
    EXPECT_EQ(finished.count(), 1);
    const int passes = driver.passCount();
    driver.deliver(PassEvent{});
    QTest::qWait(250);
    EXPECT_EQ(driver.passCount(), passes);
}

TEST(PassDriver, InputEventsAreTranslatedOncePerEvent) {
    qtApp();
    TestKalvo t;
    QWidget main;
    setWindowNumber(&main, MainWindowNo);
    auto* button = new QPushButton(QStringLiteral("Spielen"), &main);
    QWidget other;

    PassEvent pe;
    QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    ASSERT_TRUE(PassDriver::translateInput(button, &pageDown, pe));
    EXPECT_EQ(pe.kind, PassEvent::Kind::KeyDown);
    EXPECT_EQ(pe.window, MainWindowNo);
    EXPECT_EQ(pe.code, 0x22);
    EXPECT_EQ(pe.rawMessage, WmKeyDown);

    QKeyEvent elsewhere(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    ASSERT_TRUE(PassDriver::translateInput(&other, &elsewhere, pe));
    EXPECT_EQ(pe.window, 0);

    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    ASSERT_TRUE(PassDriver::translateInput(button, &move, pe));
    EXPECT_EQ(pe.kind, PassEvent::Kind::Input);
    EXPECT_EQ(pe.rawMessage, WmMouseMove);
    QEvent paint(QEvent::Paint);
    EXPECT_FALSE(PassDriver::translateInput(button, &paint, pe));

    // A key the button ignores travels on to the window: one pass only.
    PassDriver driver(*t.k);
    driver.start();
    main.show();
    const int before = driver.passCount();
    QTest::keyPress(button, Qt::Key_F7);
    EXPECT_EQ(driver.passCount(), before + 1);
}

TEST(PassDriver, QuitWhileAMessageBoxIsOpenCancelsTheBoxThenQuits) {
    qtApp();
    TestKalvo t;
    QtMessages boxes;
    Services s{t.view, boxes, t.clock, t.desktop, t.files, t.random, t.progress, t.fileDialogs, t.windows,
               t.media, t.modules, t.sounds};
    Kalvo k(s);
    PassDriver driver(k);
    driver.start();

    QTimer::singleShot(50, &driver, &PassDriver::requestQuit);
    const bool answer = k.shell.ShowMessage(QStringLiteral("Wirklich?"), true);
    EXPECT_FALSE(answer);
    EXPECT_FALSE(k.shell.quitRequested);  // nothing ran while the box was open
    EXPECT_TRUE(waitFor([&] { return driver.isDone(); }));
    EXPECT_TRUE(k.shell.quitRequested);
}

TEST(PassDriver, TerminationSignalsArriveAsQuitRequests) {
    qtApp();
    QuitSignals signalsIn;
    ASSERT_TRUE(signalsIn.install());
    QSignalSpy spy(&signalsIn, &QuitSignals::quitRequested);
    std::raise(SIGTERM);
    EXPECT_TRUE(waitFor([&] { return spy.count() > 0; }));
    std::raise(SIGINT);
    EXPECT_TRUE(waitFor([&] { return spy.count() > 1; }));
}

// Qt builds consecutive input events at the same address: every press and
// release of a row still runs its own pass, whether the focused widget takes
// the key (a slider and PageDown) or lets it travel up (a button and F7).
TEST(PassDriver, EveryPressOfARowRunsItsOwnPass) {
    qtApp();
    TestKalvo t;
    QWidget main;
    setWindowNumber(&main, MainWindowNo);
    auto* button = new QPushButton(QStringLiteral("Spielen"), &main);
    auto* slider = new QSlider(Qt::Horizontal, &main);
    slider->move(0, 40);
    PassDriver driver(*t.k);
    driver.start();
    main.show();

    int before = driver.passCount();
    for (int i = 0; i < 4; ++i) QTest::keyClick(button, Qt::Key_F7);
    EXPECT_EQ(driver.passCount(), before + 8);

    before = driver.passCount();
    for (int i = 0; i < 4; ++i) QTest::keyPress(slider, Qt::Key_PageDown);
    QTest::keyRelease(slider, Qt::Key_PageDown);
    EXPECT_EQ(driver.passCount(), before + 5);

    // Alternating widgets and a mouse click in between change nothing.
    before = driver.passCount();
    QTest::keyClick(button, Qt::Key_F7);
    QTest::keyClick(slider, Qt::Key_F7);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_F7);
    EXPECT_EQ(driver.passCount(), before + 10);
}

// A bound key and a menu letter never both act. ALT with a menu's letter
// opens the menu, and a plain binding of that letter stays still; the letter
// alone runs the binding and opens nothing. A binding of exactly ALT and the
// letter takes the combination: it runs, and the menu stays shut.
TEST(PassDriver, BoundKeyAndMenuLetterNeverBothAct) {
    qtApp();
    TestKalvo t;
    t.view.volume = 50;
    t.k->bindings.KeyBindingList = {{1, 'D', 0, FnVolumeUp10}, {2, 'E', ModAlt, FnVolumeDown3}};
    MainWindow w;
    w.createMenu();
    PassDriver driver(*t.k);
    w.setEventSink([&driver](const PassEvent& e) { driver.deliver(e); });
    driver.start();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QWidget* focus = w.control(CtlListName);
    focus->setFocus();
    QMenu* datei = w.menuBar()->actions()[0]->menu();
    QMenu* extras = w.menuBar()->actions()[2]->menu();

    QTest::keyClick(focus, Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(waitFor([&] { return QApplication::activePopupWidget() == datei; }));
    EXPECT_EQ(t.view.volume, 50) << "the plain binding of D ran as well";
    datei->close();
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
    // The offscreen platform leaves no window active after a popup.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    focus->setFocus();

    QTest::keyClick(focus, Qt::Key_D);
    EXPECT_EQ(t.view.volume, 60);
    QTest::qWait(100);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    ASSERT_EQ(QApplication::focusWidget(), focus);
    QTest::keyClick(focus, Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(t.view.volume, 57);
    QTest::qWait(100);
    EXPECT_NE(QApplication::activePopupWidget(), extras) << "ALT+E opened the menu as well";
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}
