#include "dialogs/ListEditWindow.h"

#include "base/DiskWait.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>

#include "base/Paths.h"
#include "dialogs/ExplorerModel.h"
#include "dialogs/LayoutAnchors.h"
#include "dialogs/ScreenFit.h"
#include "dialogs/TextFit.h"
#include "dialogs/WindowPlacement.h"
#include "shell/Kalvo.h"

namespace {

constexpr int kClientWidth = 635;
constexpr int kClientHeight = 370;
// How long showing a directory waits for its listing before the rows that
// have arrived are taken (a folder of many thousand entries on a slow disk).
constexpr int kListingWaitMs = 5000;

constexpr int kGridLine = 1;

// Report view with grid lines. The lines lie outside each cell's text, one
// pixel more in height, so they never cover an underscore or a descender.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, kGridLine);
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        cell.rect.adjust(0, 0, 0, -kGridLine);
        QStyledItemDelegate::paint(p, cell, index);
        p->save();
        p->setPen(option.palette.color(QPalette::Midlight));
        p->drawLine(option.rect.topRight(), option.rect.bottomRight());
        p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        p->restore();
    }
};

QString cleanDirectory(const QString& path) { return QDir::cleanPath(path); }

}  // namespace

ListEditWindow::ListEditWindow(QWidget* owner, float s) : QDialog(owner) {
    auto place = [s](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(scaled(x, s), scaled(y, s), scaled(width, s), scaled(height, s));
    };
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("Kalvo2 Liste bearbeiten"));
    setFont(layoutFont());
    setFixedSize(scaled(kClientWidth, s), scaled(kClientHeight, s));

    pathList = new QListWidget(this);
    pathList->setObjectName(QStringLiteral("pathList"));
    pathList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    place(pathList, 10, 5, 290, 315);

    removeButton = new QPushButton(QStringLiteral(">>"), this);
    removeButton->setToolTip(QStringLiteral("Verzeichnisse entfernen"));
    place(removeButton, 305, 30, 25, 20);
    addButton = new QPushButton(QStringLiteral("<<"), this);
    addButton->setToolTip(QStringLiteral("Verzeichnisse hinzufügen"));
    place(addButton, 305, 65, 25, 20);

    explorerPathLabel = new QLabel(QStringLiteral("Explorer Pfad"), this);
    explorerPathLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(explorerPathLabel, 335, 10, 265, 15);
    chooseButton = new QPushButton(QStringLiteral("..."), this);
    place(chooseButton, 605, 5, 20, 20);

    model = new ExplorerModel(this);
    model->setReadOnly(true);
    model->setNameFilterDisables(false);
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDot);
    connect(model, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        loadedDirectories.insert(cleanDirectory(path));
        fitExplorerColumns();
    });

    explorer = new QTreeView(this);
    explorer->setObjectName(QStringLiteral("explorer"));
    explorer->setModel(model);
    explorer->setRootIsDecorated(false);
    explorer->setItemsExpandable(false);
    explorer->setExpandsOnDoubleClick(false);
    explorer->setUniformRowHeights(true);
    explorer->setSelectionMode(QAbstractItemView::ExtendedSelection);
    explorer->setSelectionBehavior(QAbstractItemView::SelectRows);
    explorer->setAllColumnsShowFocus(true);
    explorer->setEditTriggers(QAbstractItemView::NoEditTriggers);
    explorer->setItemDelegate(new GridDelegate(explorer));
    explorer->header()->setStretchLastSection(false);
    explorer->header()->setSectionsMovable(false);
    place(explorer, 335, 30, 290, 290);
    // Name 170, "Sel" 30 as the second column, then size 60, type and date;
    // "Sel", the size and the date as wide as "<<<", the longest size and a
    // date need; the name then gives way (fitExplorerColumns).
    const int widths[] = {170, 30, 60, 100, 100};
    for (int c = 0; c < 5; ++c) explorer->setColumnWidth(c, scaled(widths[c], s));
    nameWidth = explorer->columnWidth(0);
    explorer->setColumnWidth(ExplorerModel::SelColumn,
                             std::max(explorer->columnWidth(ExplorerModel::SelColumn),
                                      columnWidthFor(explorer, ExplorerModel::SelColumn, {QStringLiteral("<<<")})));
    explorer->setColumnWidth(2, std::max(explorer->columnWidth(2), columnWidthFor(explorer, 2, widestFileSizeTexts())));
    explorer->setColumnWidth(4, std::max(explorer->columnWidth(4),
                                         columnWidthFor(explorer, 4, {fileTimeText(QDateTime(QDate(2000, 12, 28), QTime(20, 58)))})));

    connect(explorer->header(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == 0 && !fittingColumns) nameSizedByUser = true;
    });

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    place(okButton, 280, 335, 80, 25);

    for (QWidget* w : {static_cast<QWidget*>(pathList), static_cast<QWidget*>(removeButton),
                       static_cast<QWidget*>(addButton), static_cast<QWidget*>(explorerPathLabel),
                       static_cast<QWidget*>(chooseButton), static_cast<QWidget*>(explorer),
                       static_cast<QWidget*>(okButton)}) {
        const QRect g = w->geometry();
        AnchorControl(QString(), this, w, g.x(), g.y(), g.width(), g.height());
    }
    connect(explorer, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) { openExplorerRow(i); });
    connect(okButton, &QPushButton::clicked, this, [this] { done(Accepted); });

    chooser = [](QWidget* parent, const QString& prompt, const QString& start) {
        QFileDialog dialog(parent, prompt, start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        keepWholeOnScreen(&dialog);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    RegisterWindowLayout(this, 0, 0, width(), height());
}

ListEditWindow::~ListEditWindow() = default;

void ListEditWindow::connectTo(ListEdit& e) {
    edit = &e;
    connect(removeButton, &QPushButton::clicked, this, [this] { edit->VerzeichnisseEntfernen(); });
    connect(addButton, &QPushButton::clicked, this, [this] { edit->VerzeichnisseHinzufuegen(); });
    connect(chooseButton, &QPushButton::clicked, this, [this] { edit->ExplorerPfadWaehlen(); });
    connect(pathList, &QListWidget::itemSelectionChanged, this, [this] { edit->PfadlisteEreignis(); });
    connect(explorer, &QTreeView::clicked, this, [this] { edit->ExplorerEreignis(); });
    connect(explorer->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { edit->ExplorerEreignis(); });
}

void ListEditWindow::openExplorerRow(const QModelIndex& index) {
    if (!index.isValid() || !model->isDir(index)) return;
    // A folder on a share that stopped answering would hold the window.
    if (probePath(model->filePath(index)) == PathKind::Silent) return;
    navigate(cleanDirectory(model->filePath(index)));
    if (edit) edit->ExplorerEreignis();
}

bool ListEditWindow::openWindow() {
    centreOnOwner(this, parentWidget());
    show();
    return isVisible();
}

void ListEditWindow::runWindow() {
    if (finished) return;
    QEventLoop local;
    loop = &local;
    local.exec(QEventLoop::DialogExec);
    loop = nullptr;
}

void ListEditWindow::done(int result) {
    setResult(result);
    finished = true;
    if (loop) loop->quit();
}

void ListEditWindow::closeWindow() {
    finished = true;
    hide();
}

void ListEditWindow::setPathLines(const QStringList& lines) {
    const QSignalBlocker quiet(pathList);
    pathList->clear();
    pathList->addItems(lines);
}

QStringList ListEditWindow::selectedPathLines() const {
    QStringList out;
    for (int i = 0; i < pathList->count(); ++i)
        if (pathList->item(i)->isSelected()) out << pathList->item(i)->text();
    return out;
}

void ListEditWindow::setExplorerPathText(const QString& text) {
    explorerPathLabel->setText(text);
    explorerPathLabel->setToolTip(text);
}

void ListEditWindow::showExplorer(const QString& directory, const QString& patterns) {
    QStringList filters;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!p.trimmed().isEmpty()) filters << p.trimmed();
    if (model->nameFilters() != filters) model->setNameFilters(filters);
    navigate(cleanDirectory(directory));
    waitUntilListed(cleanDirectory(directory));
}

void ListEditWindow::navigate(const QString& directory) {
    const QSignalBlocker quiet(explorer->selectionModel());
    explorer->clearSelection();
    model->clearMarks();
    const QModelIndex root = model->setRootPath(directory);
    explorer->setRootIndex(root);
    if (model->canFetchMore(root)) model->fetchMore(root);
    explorer->scrollToTop();
    fitExplorerColumns();
    explorer->viewport()->update();
}

void ListEditWindow::fitExplorerColumns() {
    if (nameSizedByUser) return;
    const int rows = model->rowCount(explorer->rootIndex());
    const int others = explorer->columnWidth(ExplorerModel::SelColumn) + explorer->columnWidth(2);
    fittingColumns = true;
    explorer->setColumnWidth(0, std::clamp(columnRoom(explorer, rows) - others, 100, nameWidth));
    fittingColumns = false;
}

void ListEditWindow::waitUntilListed(const QString& directory) {
    // The model lists in the background; the logic reads the rows right
    // after showing a directory, so wait for the listing (user input stays
    // queued meanwhile).
    if (!loadedDirectories.contains(directory)) {
        QEventLoop wait;
        const auto c = connect(model, &QFileSystemModel::directoryLoaded, &wait, [&](const QString& path) {
            if (cleanDirectory(path) == directory) wait.quit();
        });
        QTimer::singleShot(kListingWaitMs, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        disconnect(c);
    }
    // The model sorts shortly after the rows arrive.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString ListEditWindow::explorerDirectory() const {
    const QModelIndex root = explorer->rootIndex();
    if (!root.isValid()) return QString();
    return AddBackslash(model->filePath(root));
}

QVector<ListEditView::ExplorerRow> ListEditWindow::explorerRows() const {
    QVector<ExplorerRow> rows;
    const QModelIndex root = explorer->rootIndex();
    const int n = model->rowCount(root);
    rows.reserve(n);
    const QItemSelectionModel* sel = explorer->selectionModel();
    for (int r = 0; r < n; ++r) {
        const QModelIndex i = model->index(r, 0, root);
        rows.push_back({model->fileName(i), model->isDir(i), sel->isRowSelected(r, root)});
    }
    return rows;
}

void ListEditWindow::markExplorerRow(int row) {
    const QModelIndex i = model->index(row, 0, explorer->rootIndex());
    if (!i.isValid()) return;
    model->mark(i);
    const QSignalBlocker quiet(explorer->selectionModel());
    explorer->selectionModel()->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    explorer->viewport()->update();
}

QString ListEditWindow::chooseDirectory(const QString& prompt, const QString& start) {
    return chooser ? chooser(this, prompt, start) : QString();
}

void runListEdit(Kalvo& k, QWidget* owner) {
    ListEditWindow window(owner, k.shell.layoutScale);
    ListEdit edit(k, window);
    window.connectTo(edit);
    edit.ListeBearbeiten();
}
