#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "dialogs/InfoWindow.h"
#include "dialogs/QtApp.h"
#include "dialogs/QtWindows.h"
#include "fakes/Fakes.h"

TEST(InfoWindow, ShowsTheUnpackedTextUntilOkAndOpensAgainWithTheSameText) {
    qtApp();
    TestKalvo t;
    QString seen[2];
    for (QString& text : seen) {
        InfoWindow w(nullptr);
        // "OK" is clicked from inside the window's own loop.
        QTimer::singleShot(0, &w, [&w, &text] {
            EXPECT_TRUE(w.isVisible());
            EXPECT_TRUE(w.isModal());
            EXPECT_EQ(w.windowTitle(), " Kalvo2 0.992");
            EXPECT_EQ(w.size(), QSize(500, 400));
            EXPECT_EQ(w.text->geometry(), QRect(10, 10, 480, 360));
            EXPECT_EQ(w.ok->geometry(), QRect(205, 375, 80, 20));
            EXPECT_EQ(w.ok->text(), "OK");
            EXPECT_TRUE(w.text->isReadOnly());
            EXPECT_EQ(w.text->lineWrapMode(), QTextEdit::WidgetWidth);
            text = w.text->toPlainText();
            w.grab().save(QStringLiteral(KALVO_BINARY_DIR "/info-window.png"));
            QTest::mouseClick(w.ok, Qt::LeftButton);
        });
        Info(*t.k, w, packedInfoText());
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_TRUE(seen[0].startsWith("Kalvo2 0.992 für Linux"));
    EXPECT_TRUE(seen[0].contains("Wayland"));
    EXPECT_EQ(seen[0], seen[1]);
}

TEST(InfoWindow, AnUnpackFailureStillOpensTheWindowWithAnEmptyText) {
    qtApp();
    TestKalvo t;
    InfoWindow w(nullptr);
    QString text = "not looked at";
    QTimer::singleShot(0, &w, [&w, &text] {
        text = w.text->toPlainText();
        w.reject();  // the close box
    });
    Info(*t.k, w, QByteArray("\x00\x00\x01\x00garbage", 11));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Fehler in _Info() beim Entpacken der Infodaten!");
    EXPECT_EQ(text, "");
}
