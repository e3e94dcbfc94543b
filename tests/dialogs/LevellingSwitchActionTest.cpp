// "Extras -> Lautstärke angleichen" in the real main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "dialogs/LevellingSwitchAction.h"
#include "dialogs/MainWindow.h"
#include "dialogs/QtApp.h"

TEST(LevellingSwitchAction, SitsInTheExtrasMenuAndTellsEveryChangeAtOnce) {
    qtApp();
    MainWindow w;
    ASSERT_TRUE(w.createMenu());
    QVector<bool> told;
    QAction* a = addLevellingSwitch(w, true, [&](bool on) { told << on; });
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text().remove('&'), QStringLiteral("Lautstärke angleichen"));
    EXPECT_TRUE(a->isCheckable());
    EXPECT_TRUE(a->isChecked());
    // In the Extras menu, with its other items.
    QMenu* menu = qobject_cast<QMenu*>(a->parent());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title().remove('&'), QStringLiteral("Extras"));
    EXPECT_TRUE(menu->actions().contains(w.menuAction(MenuInfo)));
    a->trigger();
    a->trigger();
    EXPECT_EQ(told, (QVector<bool>{false, true}));

    // Stored off: shown unchecked.
    MainWindow off;
    ASSERT_TRUE(off.createMenu());
    EXPECT_FALSE(addLevellingSwitch(off, false, {})->isChecked());
}
