#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include "dialogs/ListFileDialogs.h"
#include "dialogs/ScanProgressWindow.h"
#include "fixtures/ManagedDisplay.h"

namespace {

void ensureApp() {
    static int argc = 1;
    static char name[] = "test_dialogs";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

QStringList labelTexts(QDialog* d) {
    QStringList out;
    for (QLabel* l : d->findChildren<QLabel*>()) out << l->text();
    return out;
}

TEST(ScanProgressWindow, ShowsThreeLinesCentredOnTheOwnerAndGoesAway) {
    ensureApp();
    QWidget owner;
    owner.setGeometry(200, 200, 600, 400);
    owner.show();
    ScanProgressWindow w(&owner);
    ASSERT_TRUE(w.open());
    QDialog* d = w.window();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Datei Liste abgleichen"));
    EXPECT_EQ(d->size(), QSize(400, 85));
    EXPECT_EQ(d->minimumSize(), d->maximumSize());  // not resizable
    EXPECT_TRUE(d->isVisible());
    EXPECT_LE((d->geometry().center() - owner.geometry().center()).manhattanLength(), 40);
    EXPECT_EQ(labelTexts(d), (QStringList{QStringLiteral("Die Dateiliste wird aktualisiert - bitte Geduld..."),
                                          QString(), QString()}));
    const QRect first = d->findChildren<QLabel*>().at(0)->geometry();
    EXPECT_EQ(first, QRect(10, 20, 380, 15));

    w.setDirectory(QStringLiteral("/musik/a/"));
    w.setFile(QStringLiteral("lied.mp3"));
    EXPECT_EQ(w.lineText(2), QStringLiteral("/musik/a/"));
    EXPECT_EQ(w.lineText(3), QStringLiteral("lied.mp3"));
    QTest::qWait(ScanProgressWindow::RepaintMs + 10);
    w.setFile(QStringLiteral("zwei.mp3"));  // past the repaint interval: shown
    EXPECT_EQ(labelTexts(d).value(2), QStringLiteral("zwei.mp3"));

    // The close box does nothing while the scan runs.
    QCloseEvent close;
    QApplication::sendEvent(d, &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_TRUE(d->isVisible());

    w.close();
    EXPECT_EQ(w.window(), nullptr);
    w.close();  // twice is harmless
    ASSERT_TRUE(w.open());  // and it opens again
    EXPECT_EQ(w.lineText(2), QString());
    w.close();
}

// How many pixels of rect on the screen are light (a painted window's
// background) and how many dark (text, or a window nothing was drawn in).
struct Pixels {
    int light = 0, dark = 0;
};
Pixels onScreen(const QRect& rect, const QString& saveAs) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
                            .toImage();
    if (!saveAs.isEmpty()) shot.save(saveAs);
    Pixels p;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const int g = qGray(shot.pixel(x, y));
            if (g > 180) ++p.light;
            if (g < 60) ++p.dark;
        }
    return p;
}

// A scan blocks the UI thread: the test calls the window as the scan does,
// never returning to the event loop, and looks at what the screen shows.
TEST(ScanProgressWindow, ItsLinesAndTheMainWindowReachTheScreenWhileTheScanBlocks) {
    ensureApp();
    QWidget owner;
    owner.setGeometry(150, 150, 600, 300);
    auto* ownerText = new QLabel(QStringLiteral("Kalvo2"), &owner);
    ownerText->setGeometry(10, 10, 200, 20);
    owner.show();
    ScanProgressWindow w(&owner);
    ASSERT_TRUE(w.open());
    QElapsedTimer scan;
    scan.start();
    for (int i = 0; scan.elapsed() < 1500; ++i) {
        w.setDirectory(QStringLiteral("/musik/ordner%1/").arg(i / 50));
        w.setFile(QStringLiteral("lied%1.mp3").arg(i));
        QThread::msleep(3);
    }
    const QString shots = QDir::tempPath() + QStringLiteral("/kalvo-scan-%1-").arg(QGuiApplication::platformName());
    const QRect line = w.window()->findChildren<QLabel*>().at(0)->geometry();
    const Pixels first = onScreen(QRect(w.window()->mapToGlobal(line.topLeft()), line.size()), shots + "line.png");
    EXPECT_GT(first.light, line.width() * line.height() / 2) << "the window is not painted";
    EXPECT_GT(first.dark, 30) << "the first line shows no text";
    const QRect file = w.window()->findChildren<QLabel*>().at(2)->geometry();
    const Pixels third = onScreen(QRect(w.window()->mapToGlobal(file.topLeft()), file.size()), shots + "file.png");
    EXPECT_GT(third.dark, 20) << "the third line shows no file name";
    const Pixels main = onScreen(QRect(owner.mapToGlobal(QPoint(0, 0)), QSize(600, 40)), shots + "main.png");
    EXPECT_GT(main.light, 600 * 40 / 2) << "the main window is not painted";
    w.close();
}

TEST(ScanProgressWindow, ItsLinesReachTheScreenUnderAWindowManager) {
    fixtures::ManagedDisplay display;
    if (!display.ok()) GTEST_SKIP() << display.problem.toStdString();
    QString out;
    EXPECT_TRUE(fixtures::runTestOn(
        display, QStringLiteral("ScanProgressWindow.ItsLinesAndTheMainWindowReachTheScreenWhileTheScanBlocks"), &out))
        << out.toStdString();
}

TEST(ListFileDialogs, FilterTextBecomesAQtFilter) {
    EXPECT_EQ(qtFileFilter(QStringLiteral("Text-Listen|*.txt")), QStringLiteral("Text-Listen (*.txt)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Musik|*.mp3;*.wav")), QStringLiteral("Musik (*.mp3 *.wav)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("*.txt")), QStringLiteral("*.txt"));
}

}  // namespace
