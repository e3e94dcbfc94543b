#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QTreeWidget>

#include "QtApp.h"
#include "dialogs/KeyConfigWindow.h"
#include "fakes/Fakes.h"

namespace {
QStringList row(QTreeWidget* list, int i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList{};
}
}  // namespace

TEST(KeyConfigWindow, KeysPressedAnywhereBecomeBindings) {
    qtApp();
    TestKalvo t;
    t.k->bindings.KeyBindingList = {{1, 34, 0, 1}, {2, 78, 3, 6}};
    t.k->bindings.RegisterHotkeys();
    KeyConfigWindow w(*t.k, nullptr);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Tasten, Presenter Konfiguration");
    EXPECT_EQ(w.findChild<QWidget*>("gadget64")->property("text").toString(),
              "Modifier (nur für System-Hotkeys nötig):");
    EXPECT_TRUE(t.desktop.registered.isEmpty());  // grabs given back while open
    ASSERT_EQ(w.list->topLevelItemCount(), 2);
    EXPECT_EQ(row(w.list, 0), (QStringList{"PgDown", "0", "nächstes Lied"}));
    EXPECT_EQ(row(w.list, 1), (QStringList{"N", "3", "Stopp / Blackscreen verlassen"}));
    EXPECT_EQ(w.selectedId(), 1);
    EXPECT_EQ(w.function->count(), 11);

    // Keys are captured whichever gadget has the focus, Esc and Enter too,
    // and the window stays open.
    w.list->setFocus();
    QTest::keyClick(w.list, Qt::Key_Escape);
    EXPECT_EQ(w.keyField->text(), "Esc");
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(w.keyField->text(), "Enter");
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(w.list, Qt::Key_F5);
    EXPECT_EQ(w.keyField->text(), "F5");

    // F10 and ALT combinations are the system's: refused with the message.
    QTest::keyClick(w.list, Qt::Key_F10);
    QTest::keyClick(w.list, Qt::Key_X, Qt::AltModifier);
    ASSERT_EQ(t.messages.shown.size(), 2);
    EXPECT_EQ(t.messages.shown[1].text, "F10 kann nicht verwendet werden, da diese Taste vom System verwendet wird...");
    EXPECT_EQ(w.keyField->text(), "F5");

    w.ctrl->setChecked(true);
    w.shift->setChecked(true);
    w.function->setCurrentIndex(2);
    w.neu->click();
    ASSERT_EQ(w.list->topLevelItemCount(), 3);
    EXPECT_EQ(row(w.list, 2), (QStringList{"F5", "6", "vorwärts springen"}));
    EXPECT_EQ(w.selectedId(), 3);

    // Clicking a row shows its binding; "Neu" then refuses its key.
    QTest::mouseClick(w.list->viewport(), Qt::LeftButton, {}, w.list->visualItemRect(w.list->topLevelItem(1)).center());
    EXPECT_EQ(w.selectedId(), 2);
    EXPECT_EQ(w.keyField->text(), "N");
    EXPECT_TRUE(w.alt->isChecked());
    EXPECT_TRUE(w.ctrl->isChecked());
    EXPECT_FALSE(w.shift->isChecked());
    EXPECT_EQ(w.function->currentIndex(), 5);
    w.neu->click();
    EXPECT_EQ(t.messages.shown.last().text, "Taste wird schon verwendet!");
    w.runter->click();
    EXPECT_EQ(row(w.list, 2)[0], "N");
    EXPECT_EQ(w.selectedId(), 2);
    w.loeschen->click();
    EXPECT_EQ(w.list->topLevelItemCount(), 2);
    EXPECT_EQ(w.selectedId(), 1);

    w.close();
}

TEST(KeyConfigWindow, ClosingRegistersTheHotkeys) {
    qtApp();
    TestKalvo t;
    t.k->bindings.KeyBindingList = {{1, 34, 2, 1}};
    {
        KeyConfigWindow w(*t.k, nullptr);
        QTest::keyClick(w.list, Qt::Key_F6);
        w.alt->setChecked(true);
        w.aendern->click();
    }
    EXPECT_EQ(t.desktop.calls.last(), "register 1 1 117");
    EXPECT_EQ(t.desktop.registered, QVector<int>{1});
}

// Every function's name, "Stopp / Blackscreen verlassen" the longest, shows
// whole in its column, and the three columns fit the list's width.
TEST(KeyConfigWindow, FunctionNamesShowWhole) {
    qtApp();
    TestKalvo t;
    for (int f = 1; f <= KeyFunctionNames().size(); ++f)
        t.k->bindings.KeyBindingList.push_back({f, 64 + f, 0, f});
    KeyConfigWindow w(*t.k, nullptr);
    w.show();
    QCoreApplication::processEvents();
    QTreeWidget* list = w.list;
    ASSERT_EQ(list->topLevelItemCount(), KeyFunctionNames().size());
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.font = list->font();
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        const QModelIndex i = list->model()->index(r, 2);
        EXPECT_LE(list->itemDelegateForIndex(i)->sizeHint(option, i).width(), list->columnWidth(2))
            << list->topLevelItem(r)->text(2).toStdString();
    }
    EXPECT_LE(list->header()->sectionPosition(2) + list->columnWidth(2), list->viewport()->width());
}
