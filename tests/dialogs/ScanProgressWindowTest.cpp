#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include "dialogs/ListFileDialogs.h"
#include "dialogs/ScanProgressWindow.h"

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

TEST(ListFileDialogs, FilterTextBecomesAQtFilter) {
    EXPECT_EQ(qtFileFilter(QStringLiteral("Text-Listen|*.txt")), QStringLiteral("Text-Listen (*.txt)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Musik|*.mp3;*.wav")), QStringLiteral("Musik (*.mp3 *.wav)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("*.txt")), QStringLiteral("*.txt"));
}

}  // namespace
