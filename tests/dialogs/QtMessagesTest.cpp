#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include "QtApp.h"
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
