#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "QtApp.h"
#include "dialogs/ExplorerModel.h"
#include "dialogs/ListEditWindow.h"
#include "dialogs/MainWindow.h"
#include "dialogs/QtWindows.h"
#include "dialogs/TextFit.h"
#include "fakes/Fakes.h"
#include "library/ListPanel.h"

namespace {

const QString kPatterns = QStringLiteral("*.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm;*.mp3;*.mid;*.wav");

class ListEditWindowTest : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    QString m = t.path(QStringLiteral("m/"));
    void SetUp() override {
        qtApp();
        for (const char* d : {"m/Rock", "m/Pop", "m/Jazz"}) QDir().mkpath(t.path(QString::fromUtf8(d)));
        t.makeFile(QStringLiteral("m/a.mp3"));
        t.makeFile(QStringLiteral("m/b.MOD"));
        t.makeFile(QStringLiteral("m/c.txt"));
        t.makeFile(QStringLiteral("m/.versteckt.mp3"));
        t.makeFile(QStringLiteral("m/Pop/lied.wav"), 700);
    }
    static QStringList names(const QVector<ListEditView::ExplorerRow>& rows) {
        QStringList out;
        for (const auto& r : rows) out << r.name + (r.directory ? "/" : "");
        return out;
    }
    static int rowOf(const QVector<ListEditView::ExplorerRow>& rows, const QString& name) {
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].name == name) return i;
        return -1;
    }
};

}  // namespace

// The window as designed: client 635 x 370, no close box, every control in
// place with its caption and tooltip, the explorer with "Sel" as its second
// column and several rows selectable.
TEST_F(ListEditWindowTest, WindowAndControlsAsDesigned) {
    ListEditWindow w(nullptr);
    EXPECT_EQ(w.windowTitle(), "Kalvo2 Liste bearbeiten");
    EXPECT_EQ(w.size(), QSize(635, 370));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w.pathList->geometry(), QRect(10, 5, 290, 315));
    EXPECT_EQ(w.pathList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(w.removeButton->geometry(), QRect(305, 30, 25, 20));
    EXPECT_EQ(w.removeButton->text(), ">>");
    EXPECT_EQ(w.removeButton->toolTip(), "Verzeichnisse entfernen");
    EXPECT_EQ(w.addButton->geometry(), QRect(305, 65, 25, 20));
    EXPECT_EQ(w.addButton->text(), "<<");
    EXPECT_EQ(w.addButton->toolTip(), "Verzeichnisse hinzufügen");
    EXPECT_EQ(w.explorerPathLabel->geometry(), QRect(335, 10, 265, 15));
    EXPECT_EQ(w.explorerPathLabel->text(), "Explorer Pfad");
    EXPECT_TRUE(w.explorerPathLabel->alignment() & Qt::AlignRight);
    EXPECT_EQ(w.chooseButton->geometry(), QRect(605, 5, 20, 20));
    EXPECT_EQ(w.chooseButton->text(), "...");
    EXPECT_EQ(w.explorer->geometry(), QRect(335, 30, 290, 290));
    EXPECT_EQ(w.explorer->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(w.okButton->geometry(), QRect(280, 335, 80, 25));
    EXPECT_EQ(w.okButton->text(), "OK");
    QStringList headers;
    QList<int> widths;
    for (int c = 0; c < w.model->columnCount(); ++c) {
        headers << w.model->headerData(c, Qt::Horizontal).toString();
        widths << w.explorer->columnWidth(c);
    }
    EXPECT_EQ(headers, (QStringList{"Name", "Sel", "Größe", "Typ", "Geändert"}));
    // As designed, but "Sel", the size and the date as wide as their texts
    // need (ListEditWindowTest.ExplorerTextsShowWhole).
    ASSERT_EQ(widths.size(), 5);
    EXPECT_EQ(widths[0], 170);
    EXPECT_GE(widths[1], 30);
    EXPECT_GE(widths[2], 60);
    EXPECT_EQ(widths[3], 100);
    EXPECT_GE(widths[4], 100);
}

// On a real folder: ".." and the folders, then the files the patterns take
// (any case; hidden files and others left out). A mark writes "<<<" into
// "Sel" and selects the row; showing a folder again clears marks and
// selection. A double-click opens a folder and ".." goes back up.
TEST_F(ListEditWindowTest, ExplorerRowsMarksAndDoubleClick) {
    ListEditWindow w(nullptr);
    ListEdit edit(k, w);
    w.connectTo(edit);
    w.show();
    w.showExplorer(m, kPatterns);
    EXPECT_EQ(w.explorerDirectory(), m);
    auto rows = w.explorerRows();
    EXPECT_EQ(names(rows), (QStringList{"../", "Jazz/", "Pop/", "Rock/", "a.mp3", "b.MOD"}));

    const int pop = rowOf(rows, "Pop");
    w.markExplorerRow(pop);
    const QModelIndex popIndex = w.model->index(pop, 0, w.explorer->rootIndex());
    EXPECT_EQ(w.model->data(popIndex.siblingAtColumn(ExplorerModel::SelColumn)).toString(), "<<<");
    EXPECT_EQ(w.model->data(popIndex.siblingAtColumn(3)).toString(), "Ordner");
    EXPECT_TRUE(w.explorerRows()[pop].selected);
    EXPECT_FALSE(w.explorerRows()[rowOf(rows, "Rock")].selected);
    w.showExplorer(m, kPatterns);
    EXPECT_TRUE(w.model->data(popIndex.siblingAtColumn(ExplorerModel::SelColumn)).toString().isEmpty());
    EXPECT_FALSE(w.explorerRows()[pop].selected);

    const QRect r = w.explorer->visualRect(w.model->index(pop, 0, w.explorer->rootIndex()));
    QTest::mouseClick(w.explorer->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(w.explorer->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(w.explorerDirectory(), m + "Pop/");
    EXPECT_EQ(k.settings.LetzterPfad, m + "Pop/");
    EXPECT_EQ(w.explorerPathLabel->text(), m + "Pop/");

    for (int i = 0; i < 500 && w.model->rowCount(w.explorer->rootIndex()) != 2; ++i) QTest::qWait(10);
    ASSERT_EQ(w.model->rowCount(w.explorer->rootIndex()), 2);
    w.openExplorerRow(w.model->index(m + "Pop/.."));
    EXPECT_EQ(w.explorerDirectory(), m);
    EXPECT_EQ(k.settings.LetzterPfad, m);
}

// Selecting list lines in the real window moves the explorer and marks the
// rows; "<<" on selected explorer rows adds them in path order.
TEST_F(ListEditWindowTest, ListSelectionMarksAndAddButtonAdds) {
    k.library.pathList.append(m + "Rock/");
    k.library.pathList.append(t.path("anderswo/"));
    ListEditWindow w(nullptr);
    ListEdit edit(k, w);
    w.connectTo(edit);
    w.show();
    edit.PfadlisteZeigen();
    w.pathList->item(0)->setSelected(true);
    EXPECT_EQ(w.explorerDirectory(), m);
    auto rows = w.explorerRows();
    const int rock = rowOf(rows, "Rock");
    EXPECT_TRUE(rows[rock].selected);
    EXPECT_EQ(w.model->data(w.model->index(rock, ExplorerModel::SelColumn, w.explorer->rootIndex())).toString(), "<<<");

    const QModelIndex jazz = w.model->index(rowOf(rows, "Jazz"), 0, w.explorer->rootIndex());
    w.explorer->selectionModel()->select(jazz, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(w.addButton, Qt::LeftButton);
    EXPECT_EQ(QStringList(k.library.pathList.raw().begin(), k.library.pathList.raw().end()),
              (QStringList{t.path("anderswo/"), m + "Jazz/", m + "Rock/"}));
    ASSERT_EQ(w.pathList->count(), 3);
    EXPECT_EQ(w.pathList->item(1)->text(), m + "Jazz/");

    w.pathList->item(0)->setSelected(true);
    QTest::mouseClick(w.removeButton, Qt::LeftButton);
    EXPECT_EQ(w.pathList->count(), 2);
    EXPECT_EQ(k.library.pathList.size(), 2);
}

// The whole road through the menu's window: the home folder is shown before
// the first use, a folder is added, "OK" scans (the window still up), saves
// and finds the song; "..." with a cancel changes nothing.
TEST_F(ListEditWindowTest, RunAddsScansSavesAndDeterminesTheSong) {
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", m.toUtf8());
    k.library.listFileName = t.path("Liste.txt");
    bool visibleDuringScan = false;
    int chooserCalls = 0;
    // The user acts once the window runs its loop with the folder listed.
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* w = qobject_cast<ListEditWindow*>(QApplication::activeModalWidget());
        if (!w || w->explorerRows().size() < 4) return;
        user.stop();
        w->chooser = [&](QWidget*, const QString&, const QString&) { ++chooserCalls; return QString(); };
        QTest::mouseClick(w->chooseButton, Qt::LeftButton);
        EXPECT_EQ(w->explorerDirectory(), m);
        EXPECT_EQ(w->explorerPathLabel->text(), m);
        const auto rows = w->explorerRows();
        const QModelIndex pop = w->model->index(rowOf(rows, "Pop"), 0, w->explorer->rootIndex());
        w->explorer->selectionModel()->select(pop, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::mouseClick(w->addButton, Qt::LeftButton);
        QTest::mouseClick(w->okButton, Qt::LeftButton);
        visibleDuringScan = w->isVisible();
    });
    user.start();
    k.settings.LetzterPfad.clear();
    runListEdit(k, nullptr);
    qputenv("HOME", oldHome);
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_TRUE(visibleDuringScan);
    EXPECT_EQ(t.progress.opens, 1);
    EXPECT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.playback.currentSong, m + "Pop/lied.wav");
    EXPECT_TRUE(QFile::exists(t.path("Liste.txt")));
    EXPECT_EQ(k.settings.LetzterPfad, m);
}

// The panel on the real main window: the window widens by 210 and comes back
// to its width exactly; the panel list shows the list files.
TEST_F(ListEditWindowTest, PanelWidensTheMainWindowAndRestoresItsWidthExactly) {
    MainWindow main;
    main.createMenu();
    main.show();
    main.activateWindow();
    QApplication::setActiveWindow(&main);
    QtWindows windows(&main);
    windows.attach(k);
    t.makeFile(QStringLiteral("Listen/Rock.txt"));
    t.makeFile(QStringLiteral("Listen/Pop.txt"));
    k.library.listFileName = t.path("Listen/Rock.txt");
    k.shell.mainBaseWidth = main.innerWidth();
    QCoreApplication::processEvents();
    const QSize outer = main.size();
    const int client = main.innerWidth();

    windows.toggleListPanel();
    QCoreApplication::processEvents();
    EXPECT_EQ(main.innerWidth(), client + 210);
    EXPECT_EQ(main.size().width(), outer.width() + 210);
    EXPECT_EQ(static_cast<QPushButton*>(main.control(CtlPanelToggle))->text(), "<");
    auto* list = static_cast<QTreeWidget*>(main.control(CtlPanelList));
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Pop.txt");

    // A right-click on a row asks about that very file.
    list->setFocus();
    list->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(windows.listPanelEvent(SubRightClick));
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_EQ(t.messages.shown[0].text, "Löschen?\r\n\r\n" + t.path("Listen/Rock.txt"));
    EXPECT_EQ(main.focusWidget(), main.control(CtlListName));

    windows.toggleListPanel();
    QCoreApplication::processEvents();
    EXPECT_EQ(main.innerWidth(), client);
    EXPECT_EQ(main.size(), outer);
    EXPECT_EQ(static_cast<QPushButton*>(main.control(CtlPanelToggle))->text(), ">");
}

namespace {

// The width the view's delegate asks for to draw the cell without eliding it.
int neededWidth(const QAbstractItemView* view, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.font = view->font();
    option.features |= QStyleOptionViewItem::HasDisplay;
    return view->itemDelegateForIndex(index)->sizeHint(option, index).width();
}

// Right edge of a column in the viewport, scrolled to the left end.
int rightEdge(const QTreeView* view, int column) {
    return view->header()->sectionPosition(column) + view->header()->sectionSize(column);
}

}  // namespace

// "<<<" in "Sel", every size and the headers fit their columns; name, "Sel"
// and size lie within the explorer's width, also with the scroll bar a long
// folder brings; a row is taller than its text by the grid line, which
// therefore never covers an underscore.
TEST_F(ListEditWindowTest, ExplorerTextsShowWhole) {
    for (int i = 0; i < 40; ++i) t.makeFile(QStringLiteral("m/lang/lied_%1.mp3").arg(i, 4, 10, QLatin1Char('0')), 16046);
    t.makeFile(QStringLiteral("m/lang/gross_.mp3"), 1024 * 1024 - 6);
    ListEditWindow w(nullptr);
    ListEdit edit(k, w);
    w.connectTo(edit);
    w.show();
    for (const QString& folder : {m, m + "lang/"}) {
        w.showExplorer(folder, kPatterns);
        QCoreApplication::processEvents();
        const QModelIndex root = w.explorer->rootIndex();
        const int rows = w.model->rowCount(root);
        ASSERT_GT(rows, 2);
        for (int r = 0; r < rows; ++r) {
            w.markExplorerRow(r);
            for (int c : {ExplorerModel::SelColumn, 2, 4}) {
                const QModelIndex i = w.model->index(r, c, root);
                EXPECT_LE(neededWidth(w.explorer, i), w.explorer->columnWidth(c))
                    << w.model->data(i).toString().toStdString();
            }
        }
        const QModelIndex file = w.model->index(rows - 1, 2, root);
        if (folder.endsWith("lang/")) EXPECT_EQ(w.model->data(file).toString(), "15,67 KiB");
        for (int c = 0; c < 5; ++c)
            EXPECT_GE(w.explorer->columnWidth(c), w.explorer->header()->sectionSizeHint(c)) << c;
        EXPECT_LE(rightEdge(w.explorer, 2), w.explorer->viewport()->width()) << folder.toStdString();
        const QRect row = w.explorer->visualRect(w.model->index(1, 0, root));
        EXPECT_GE(row.height(), QFontMetrics(w.explorer->font()).height() + 1);
    }
    EXPECT_TRUE(w.explorer->verticalScrollBar()->isVisible());
    EXPECT_GE(w.explorer->columnWidth(0), 100);

    // A name column the user widened stays as wide on the next folder.
    w.explorer->header()->resizeSection(0, 230);
    w.showExplorer(m, kPatterns);
    EXPECT_EQ(w.explorer->columnWidth(0), 230);
}

// The panel list on the real main window: name and size columns side by
// side within the list's width, the size and its header whole, in German.
TEST_F(ListEditWindowTest, PanelShowsNameAndSizeWhole) {
    MainWindow main;
    main.createMenu();
    main.setListPanelColumnWidth(170);
    main.show();
    QtWindows windows(&main);
    windows.attach(k);
    t.makeFile(QStringLiteral("Listen/Kinder_Hörspiele_gesamt.txt"), 27);
    t.makeFile(QStringLiteral("Listen/Rock.txt"), 271800);
    k.library.listFileName = t.path("Listen/Rock.txt");
    k.shell.mainBaseWidth = main.innerWidth();
    windows.toggleListPanel();
    QCoreApplication::processEvents();
    auto* list = static_cast<QTreeWidget*>(main.control(CtlPanelList));
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), fileSizeText(27));
    EXPECT_EQ(list->topLevelItem(1)->text(1), "265,43 KiB");
    for (int r = 0; r < 2; ++r)
        for (int c : {1, 2})
            EXPECT_LE(neededWidth(list, list->model()->index(r, c)), list->columnWidth(c)) << r << c;
    EXPECT_GE(list->columnWidth(1), list->header()->sectionSizeHint(1));
    EXPECT_LE(rightEdge(list, 1), list->viewport()->width());
    EXPECT_GE(rightEdge(list, 1), list->viewport()->width() - 2);  // the date starts at the edge, not cut
}
