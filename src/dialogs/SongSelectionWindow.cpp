#include "dialogs/SongSelectionWindow.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <vector>

#include "dialogs/LayoutAnchors.h"
#include "dialogs/PassDriver.h"

namespace {

constexpr int kDesignedWidth = 460;
constexpr int kDesignedHeight = 300;
// The top row, a few rows of the list and its horizontal scroll bar.
constexpr int kShortestUsefulHeight = 120;

// The largest pixel size, from the widget's font down to 7, at which text
// fits width less the control's own margins.
void fitFont(QWidget* w, const QString& text, int width, int margin) {
    QFont f = w->font();
    for (int px = f.pixelSize() > 0 ? f.pixelSize() : 11; px >= 7; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance(text) + margin <= width) break;
    }
    w->setFont(f);
}

}  // namespace

void SongRowsModel::setRows(const QVector<QString>& rows, const QFont& font) {
    beginResetModel();
    paths = rows;
    // The sum of the characters' advances (kerning ignored) is one table
    // look-up per character and never much narrower than the drawn text.
    const QFontMetrics fm(font);
    std::vector<int16_t> advance(0x10000, -1);
    const int surrogateAdvance = (fm.maxWidth() + 1) / 2;
    int widest = 0;
    for (const QString& p : paths) {
        int w = 0;
        for (const QChar c : p) {
            int16_t& a = advance[c.unicode()];
            if (a < 0) a = int16_t(c.isSurrogate() ? surrogateAdvance : fm.horizontalAdvance(c));
            w += a;
        }
        widest = std::max(widest, w);
    }
    rowSize = QSize(widest + 12, fm.height() + 2);
    endResetModel();
}

int SongRowsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(paths.size()); }

QVariant SongRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= paths.size()) return {};
    if (role == Qt::DisplayRole) return paths[index.row()];
    if (role == Qt::SizeHintRole) return rowSize;
    return {};
}

SongSelectionWindow::SongSelectionWindow(QWidget* owner, float s, EventSink sink)
    // A dialog-type window: the window manager learns its owner
    // (WM_TRANSIENT_FOR) and keeps it above the main window.
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      sink(std::move(sink)), shortest(scaled(kShortestUsefulHeight, s)) {
    auto place = [s](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(scaled(x, s), scaled(y, s), scaled(width, s), scaled(height, s));
    };
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowNumber(this, SongSelectionNo);
    setWindowTitle(QStringLiteral("Lied auswählen"));
    setFont(layoutFont());
    resize(scaled(kDesignedWidth, s), scaled(kDesignedHeight, s));
    RegisterWindowLayout(this, 0, 0, scaled(kDesignedWidth, s), scaled(kDesignedHeight, s));

    refresh = new QPushButton(QStringLiteral("Aktualisieren"), this);
    place(refresh, 5, 5, 80, 20);
    fitFont(refresh, refresh->text(), refresh->width(), 8);

    hint = new QLabel(QStringLiteral("Lied doppeklicken um es zu spielen."), this);
    place(hint, 90, 10, 195, 15);
    fitFont(hint, hint->text(), hint->width(), 0);

    find = new QPushButton(QStringLiteral("Finde:"), this);
    place(find, 305, 5, 45, 20);
    fitFont(find, find->text(), find->width(), 8);

    search = new QLineEdit(this);
    place(search, 350, 5, 105, 20);

    list = new QListView(this);
    list->setModel(&model);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setTextElideMode(Qt::ElideNone);
    list->viewport()->installEventFilter(this);
    place(list, 5, 30, 450, 265);
    AnchorControl(QStringLiteral("RU"), this, list, scaled(5, s), scaled(30, s), scaled(450, s), scaled(265, s));

    for (QPushButton* b : {refresh, find}) b->setAutoDefault(false);
    connect(refresh, &QPushButton::clicked, this, [this] { emitControl(CtlSelRefresh, SubClick); });
    connect(find, &QPushButton::clicked, this, [this] { emitControl(CtlSelFind, SubClick); });
    // Enter in the search field is a click on "Finde:".
    connect(search, &QLineEdit::returnPressed, this, [this] { emitControl(CtlSelFind, SubClick); });
}

void SongSelectionWindow::showRows(const QVector<QString>& rows) { model.setRows(rows, list->font()); }

void SongSelectionWindow::selectRow(int row) {
    if (row >= 0 && row < model.rowCount()) {
        const QModelIndex index = model.index(row);
        list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list->scrollTo(index);
    } else {
        list->selectionModel()->clear();
    }
    list->setFocus();
}

int SongSelectionWindow::selectedRow() const {
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void SongSelectionWindow::closeEvent(QCloseEvent* event) {
    // The pass closes the window after storing its place.
    event->ignore();
    PassEvent e;
    e.kind = PassEvent::Kind::Close;
    e.window = SongSelectionNo;
    if (sink) sink(e);
}

bool SongSelectionWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        emitControl(CtlSelList, mouse->button() == Qt::LeftButton ? SubDoubleClick : SubClick);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SongSelectionWindow::emitControl(int control, int subType) const {
    if (sink) sink(PassEvent::control(SongSelectionNo, control, subType));
}
