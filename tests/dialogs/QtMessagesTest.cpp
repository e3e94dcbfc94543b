#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "QtApp.h"
#include "fixtures/ManagedDisplay.h"
#include "platform/QtMessages.h"

namespace {

struct Seen {
    QString title, text;
    bool iconless = false;
    int buttons = 0;
    bool mainEnabled = true, blackEnabled = true, blackOnTop = true, boxEnabled = false;
};

// Looks at the open box, then answers it with the given button.
void answerSoon(Seen& seen, QWidget& main, QWidget& black, QMessageBox::StandardButton answer) {
    QTimer::singleShot(100, [&seen, &main, &black, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.iconless = box->icon() == QMessageBox::NoIcon;
        seen.buttons = int(box->standardButtons());
        seen.boxEnabled = box->isEnabled();
        seen.mainEnabled = main.isEnabled();
        seen.blackEnabled = black.isEnabled();
        seen.blackOnTop = black.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        box->button(answer)->click();
    });
}

}  // namespace

TEST(QtMessages, BoxDisablesOtherWindowsAndLowersTheOnTopOnes) {
    qtApp();
    QWidget main;
    main.show();
    main.activateWindow();
    QWidget black(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    black.show();
    QtMessages messages;

    Seen seen;
    answerSoon(seen, main, black, QMessageBox::Ok);
    EXPECT_FALSE(messages.showMessage(QStringLiteral("Hallo Welt"), false));
    EXPECT_EQ(seen.title, "Kalvo2 Meldung");
    EXPECT_EQ(seen.text, "Hallo Welt");
    EXPECT_TRUE(seen.iconless);
    EXPECT_EQ(seen.buttons, int(QMessageBox::Ok));
    EXPECT_TRUE(seen.boxEnabled);
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_FALSE(seen.blackEnabled);
    EXPECT_FALSE(seen.blackOnTop);
    // Afterwards everything is as before.
    EXPECT_TRUE(main.isEnabled());
    EXPECT_TRUE(black.isEnabled());
    EXPECT_TRUE(black.isVisible());
    EXPECT_TRUE(black.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(QtMessages, AskReturnsTrueOnlyForYes) {
    qtApp();
    QWidget main, black;
    QtMessages messages;
    Seen seen;
    answerSoon(seen, main, black, QMessageBox::Yes);
    EXPECT_TRUE(messages.showMessage(QStringLiteral("Löschen?"), true));
    EXPECT_EQ(seen.buttons, int(QMessageBox::Yes | QMessageBox::No));
    answerSoon(seen, main, black, QMessageBox::No);
    EXPECT_FALSE(messages.showMessage(QStringLiteral("Löschen?"), true));
}

namespace {

// Answers the box as soon as it is open, noting whether every window in
// others was disabled meanwhile.
void okSoon(const QList<QWidget*>& others, bool& allDisabled) {
    allDisabled = false;
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, others, &allDisabled] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        allDisabled = std::none_of(others.begin(), others.end(), [](QWidget* w) { return w->isEnabled(); });
        box->button(QMessageBox::Ok)->click();
        poll->deleteLater();
    });
    poll->start();
}

}  // namespace

// The key configuration window and the restore dialog are owned by the main
// window; a box shown from them must give every window back its own state,
// whatever order the windows are visited in (a fresh set of windows each
// round gives a fresh order).
TEST(QtMessages, OwnedWindowsComeBackAsTheyWere) {
    qtApp();
    QtMessages messages;
    for (int round = 0; round < 30; ++round) {
        auto* main = new QWidget;
        main->setGeometry(100, 100, 400, 180);
        auto* config = new QDialog(main);
        auto* restore = new QDialog(main);
        auto* nested = new QDialog(config);
        auto* selfDisabled = new QDialog(main);
        selfDisabled->setEnabled(false);
        const QList<QWidget*> all{main, config, restore, nested, selfDisabled};
        for (QWidget* w : all) w->show();
        config->activateWindow();

        bool allDisabled = false;
        okSoon(all, allDisabled);
        messages.showMessage(QStringLiteral("Taste wird schon verwendet!"), false);
        EXPECT_TRUE(allDisabled) << "round " << round;
        EXPECT_TRUE(main->isEnabled()) << "round " << round;
        EXPECT_TRUE(config->isEnabled()) << "round " << round;
        EXPECT_TRUE(restore->isEnabled()) << "round " << round;
        EXPECT_TRUE(nested->isEnabled()) << "round " << round;
        EXPECT_FALSE(selfDisabled->isEnabled()) << "round " << round;
        delete main;
        if (HasFailure()) break;
    }
}

// The same under a real window manager: the test runs again in a program of
// its own on an X server with openbox.
TEST(QtMessages, OwnedWindowsComeBackAsTheyWereUnderAWindowManager) {
    fixtures::ManagedDisplay display;
    if (!display.ok()) GTEST_SKIP() << display.problem.toStdString();
    QString out;
    EXPECT_TRUE(fixtures::runTestOn(display, QStringLiteral("QtMessages.OwnedWindowsComeBackAsTheyWere"), &out))
        << out.toStdString();
}

// A notice returns at once, leaves every window usable and goes on OK.
TEST(QtMessages, ANoticeHoldsNothingUp) {
    qtApp();
    QWidget main;
    main.show();
    QtMessages messages;
    messages.showNotice("Systemweite Tastenkürzel sind nicht verfügbar.");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(main.isEnabled());
    QMessageBox* notice = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Kalvo2 Meldung") notice = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), "Systemweite Tastenkürzel sind nicht verfügbar.");
    QPointer<QMessageBox> gone(notice);
    notice->button(QMessageBox::Ok)->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}
