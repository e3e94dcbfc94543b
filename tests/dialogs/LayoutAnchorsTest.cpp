#include <gtest/gtest.h>

#include <QEvent>
#include <QPushButton>
#include <QWidget>

#include "QtApp.h"
#include "dialogs/LayoutAnchors.h"

TEST(LayoutAnchors, LettersChooseTheEdgesThatFollow) {
    EXPECT_EQ(anchorRecord("RU", 5, 30, 390, 260), (AnchorValues{AnchorIgnore, AnchorIgnore, 390, 260}));
    EXPECT_EQ(anchorRecord("LO", 5, 30, 390, 260), (AnchorValues{5, 30, AnchorIgnore, AnchorIgnore}));
    EXPECT_EQ(anchorRecord("xUyL", 1, 2, 3, 4), (AnchorValues{1, AnchorIgnore, AnchorIgnore, 4}));
    EXPECT_EQ(anchorRecord("ru", 1, 2, 3, 4), AnchorValues{});  // callers pass capitals

    const AnchorValues moved = anchoredGeometry(anchorRecord("RU", 5, 30, 390, 260), 50, 20);
    EXPECT_EQ(moved, (AnchorValues{AnchorIgnore, AnchorIgnore, 440, 280}));
    EXPECT_EQ(anchoredGeometry(anchorRecord("LO", 5, 30, 1, 1), 7, 9), (AnchorValues{12, 39, AnchorIgnore, AnchorIgnore}));
}

TEST(LayoutAnchors, ShrinkingIsUndoneAndOnlyLargeShrinksDisable) {
    ResizePlan p = planResize(400, 300, 397, 300);
    EXPECT_FALSE(p.disable);
    EXPECT_TRUE(p.fixWidth);
    EXPECT_FALSE(p.fixHeight);
    EXPECT_EQ(p.dw, 0);

    p = planResize(400, 300, 390, 300);
    EXPECT_TRUE(p.disable);
    p = planResize(400, 300, 395, 300);  // exactly 5 smaller: no disabling
    EXPECT_FALSE(p.disable);
    p = planResize(400, 300, 450, 290);
    EXPECT_TRUE(p.disable);
    EXPECT_EQ(p.dw, 50);
    EXPECT_EQ(p.dh, 0);
    EXPECT_TRUE(p.fixHeight);

    // A window the screen allows lower: down to that height its controls
    // follow the bottom edge up; below it the height is set back to it.
    p = planResize(400, 300, 400, 240, 220);
    EXPECT_FALSE(p.fixHeight);
    EXPECT_FALSE(p.disable);
    EXPECT_EQ(p.dh, -60);
    p = planResize(400, 300, 400, 200, 220);
    EXPECT_TRUE(p.fixHeight);
    EXPECT_TRUE(p.disable);
    EXPECT_EQ(p.dh, -80);
    EXPECT_EQ(planResize(400, 300, 400, 320, 220).dh, 20);

    EXPECT_EQ(scaled(105, 1.0f), 105);
    EXPECT_EQ(scaled(105, 1.5f), 158);  // 157.5 to the nearest integer
}

namespace {
// Counts enable/disable changes of a window.
struct EnableCounter : QObject {
    int changes = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::EnabledChange) ++changes;
        return false;
    }
};
}  // namespace

TEST(LayoutAnchors, WindowsSnapBackToTheirDesignedSize) {
    qtApp();
    QWidget w;
    w.resize(400, 300);
    RegisterWindowLayout(&w, 10, 10, 400, 300);
    w.show();
    EnableCounter counter;
    w.installEventFilter(&counter);

    w.resize(397, 300);
    ResizeLayout(&w);
    EXPECT_EQ(w.width(), 400);
    EXPECT_EQ(counter.changes, 0);
    EXPECT_TRUE(w.isEnabled());

    w.resize(390, 280);
    ResizeLayout(&w);
    EXPECT_EQ(w.size(), QSize(400, 300));
    EXPECT_EQ(counter.changes, 2);  // disabled and enabled again around the correction
    EXPECT_TRUE(w.isEnabled());
}

TEST(LayoutAnchors, AnchoredControlFollowsTheWindowOthersStay) {
    qtApp();
    QWidget w;
    w.resize(400, 300);
    auto* list = new QWidget(&w);
    auto* button = new QPushButton(QStringLiteral("Aktualisieren"), &w);
    list->setGeometry(5, 30, 390, 260);
    button->setGeometry(5, 5, 80, 20);
    RegisterWindowLayout(&w, 0, 0, 400, 300);
    AnchorControl(QString(), &w, button, 5, 5, 80, 20);  // nothing registered
    AnchorControl(QStringLiteral("LO"), &w, list, 5, 30, 390, 260);
    AnchorControl(QStringLiteral("RU"), &w, list, 5, 30, 390, 260);  // replaces the record
    EXPECT_EQ(anchorRecordCount(&w), 2);

    // The watcher runs the anchoring on every size change, also repeatedly.
    w.show();
    w.resize(430, 310);
    for (int i = 0; i < 50 && list->width() != 420; ++i) QApplication::processEvents();
    w.resize(450, 320);
    for (int i = 0; i < 50 && list->width() != 440; ++i) QApplication::processEvents();
    EXPECT_EQ(list->geometry(), QRect(5, 30, 440, 280));
    EXPECT_EQ(button->geometry(), QRect(5, 5, 80, 20));

    w.resize(400, 300);
    ResizeLayout(&w);
    EXPECT_EQ(list->geometry(), QRect(5, 30, 390, 260));
}

TEST(LayoutAnchors, UnknownOrVanishedWindowsAreLeftAlone) {
    qtApp();
    QWidget stranger;
    stranger.resize(10, 10);
    ResizeLayout(&stranger);
    EXPECT_EQ(stranger.size(), QSize(10, 10));
    ResizeLayout(nullptr);

    auto* gone = new QWidget;
    RegisterWindowLayout(gone, 0, 0, 100, 100);
    delete gone;
    EXPECT_EQ(anchorRecordCount(gone), 0);
}
