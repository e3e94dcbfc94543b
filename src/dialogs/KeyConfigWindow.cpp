#include "dialogs/KeyConfigWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "dialogs/LayoutAnchors.h"
#include "dialogs/PassDriver.h"
#include "dialogs/TextFit.h"
#include "dialogs/WindowPlacement.h"
#include "shell/Kalvo.h"

KeyConfigWindow::KeyConfigWindow(Kalvo& k, QWidget* owner) : QDialog(owner), logic(k) {
    const float s = k.shell.layoutScale;
    auto place = [s, this](QWidget* w, int number, int x, int y, int width, int height) {
        w->setObjectName(QStringLiteral("gadget%1").arg(number));
        w->setGeometry(scaled(x, s), scaled(y, s), scaled(width, s), scaled(height, s));
        AnchorControl(QString(), this, w, x, y, width, height);
        w->installEventFilter(this);
    };
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowNumber(this, KeyConfigNo);
    setWindowTitle(QStringLiteral("Tasten, Presenter Konfiguration"));
    setFont(layoutFont());
    setFixedSize(scaled(550, s), scaled(295, s));
    RegisterWindowLayout(this, 0, 0, width(), height());

    list = new QTreeWidget(this);
    list->setColumnCount(3);
    list->setHeaderLabels({QStringLiteral("Taste"), QStringLiteral("HK"), QStringLiteral("Funktion")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setStretchLastSection(false);
    // "Taste" is wider than designed (50, 40, 150) so that "Backspace" and
    // "CrsRight" fit; "HK" shows one digit; "Funktion" as wide as the
    // longest function name.
    list->setColumnWidth(0, scaled(64, s));
    list->setColumnWidth(1, scaled(30, s));
    list->setColumnWidth(2, std::max(scaled(150, s), columnWidthFor(list, 2, KeyFunctionNames())));
    place(list, 56, 10, 10, 270, 275);

    auto button = [&](const QString& text, int number, int x, int y) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        place(b, number, x, y, 80, 20);
        return b;
    };
    neu = button(QStringLiteral("Neu"), 57, 285, 10);
    aendern = button(QStringLiteral("Ändern"), 58, 375, 10);
    loeschen = button(QStringLiteral("Löschen"), 59, 465, 10);
    hoch = button(QStringLiteral("Hoch"), 60, 285, 35);
    runter = button(QStringLiteral("Runter"), 61, 375, 35);

    auto label = [&](const QString& text, int number, int y) {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignCenter);
        place(l, number, 285, y, 260, 15);
        // The longest caption fits its 260 pixels only a little smaller.
        QFont f = l->font();
        for (int px = f.pixelSize() > 0 ? f.pixelSize() : 11; px > 7; --px) {
            f.setPixelSize(px);
            if (QFontMetrics(f).horizontalAdvance(text) <= l->width()) break;
        }
        l->setFont(f);
    };
    label(QStringLiteral("Taste (anklicken und Taste drücken zum ändern):"), 62, 80);
    keyField = new QLineEdit(this);
    keyField->setReadOnly(true);
    keyField->setFocusPolicy(Qt::NoFocus);
    place(keyField, 63, 375, 100, 80, 20);
    // The trigger the desktop uses for the selected system-wide hotkey.
    desktopTrigger = new QLabel(this);
    desktopTrigger->setAlignment(Qt::AlignCenter);
    place(desktopTrigger, 70, 285, 124, 260, 15);
    label(QStringLiteral("Modifier (nur für System-Hotkeys nötig):"), 64, 145);
    auto box = [&](const QString& text, int number, int x) {
        auto* b = new QCheckBox(text, this);
        b->setFocusPolicy(Qt::NoFocus);
        place(b, number, x, 165, 80, 20);
        return b;
    };
    alt = box(QStringLiteral("ALT"), 65, 285);
    ctrl = box(QStringLiteral("CTRL"), 66, 375);
    shift = box(QStringLiteral("SHIFT"), 67, 465);
    label(QStringLiteral("Funktion:"), 68, 210);
    function = new QComboBox(this);
    function->setFocusPolicy(Qt::NoFocus);
    place(function, 69, 285, 230, 260, 20);
    function->addItems(KeyFunctionNames());
    function->setCurrentIndex(-1);
    // Where this desktop has no system-wide keys, the way that remains.
    const QString notice = logic.SystemKeysNotice();
    if (!notice.isEmpty()) {
        auto* l = new QLabel(notice, this);
        l->setWordWrap(true);
        QFont f = l->font();
        f.setPixelSize(f.pixelSize() > 0 ? std::max(8, f.pixelSize() - 2) : 9);
        l->setFont(f);
        place(l, 70, 285, 254, 260, 38);
    }

    connect(list, &QTreeWidget::itemSelectionChanged, this, [this] { rowSelected(); });
    connect(list, &QTreeWidget::itemClicked, this, [this] { rowSelected(); });
    connect(neu, &QPushButton::clicked, this, [this] { apply(logic.Neu(modifiers(), function->currentIndex() + 1)); });
    connect(aendern, &QPushButton::clicked, this,
            [this] { apply(logic.Aendern(selectedId(), modifiers(), function->currentIndex() + 1)); });
    connect(loeschen, &QPushButton::clicked, this, [this] { apply(logic.Loeschen(selectedId())); });
    connect(hoch, &QPushButton::clicked, this, [this] { apply(logic.Hoch(selectedId())); });
    connect(runter, &QPushButton::clicked, this, [this] { apply(logic.Runter(selectedId())); });

    installEventFilter(this);
    logic.Open();
    FillBindingList(0);
    keyField->setText(QString());
    centreOnOwner(this, owner);
}

KeyConfigWindow::~KeyConfigWindow() { logic.Close(); }

void KeyConfigWindow::FillBindingList(int id) {
    const QSignalBlocker quiet(list);
    list->clear();
    QTreeWidgetItem* select = nullptr;
    for (const KeyConfig::Row& row : logic.Rows()) {
        auto* item = new QTreeWidgetItem(list, {row.key, row.hk, row.function});
        item->setData(0, Qt::UserRole, row.id);
        if (row.id == id && !select) select = item;
    }
    if (!select) select = list->topLevelItem(0);
    if (select) {
        list->setCurrentItem(select);
        select->setSelected(true);
    }
}

int KeyConfigWindow::selectedId() const {
    const QList<QTreeWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? 0 : items.first()->data(0, Qt::UserRole).toInt();
}

int KeyConfigWindow::modifiers() const {
    return (alt->isChecked() ? ModAlt : 0) | (ctrl->isChecked() ? ModCtrl : 0) | (shift->isChecked() ? ModShift : 0);
}

void KeyConfigWindow::apply(int result) {
    if (result >= 0) FillBindingList(result);
}

void KeyConfigWindow::rowSelected() {
    const int id = selectedId();
    if (id == 0) return;
    const KeyConfig::Selection s = logic.Select(id);
    keyField->setText(s.found ? logic.capturedKeyName() : QString());
    function->setCurrentIndex(s.found ? s.function - 1 : 0);
    alt->setChecked(s.modifiers & ModAlt);
    ctrl->setChecked(s.modifiers & ModCtrl);
    shift->setChecked(s.modifiers & ModShift);
    desktopTrigger->setText(s.desktopTrigger.isEmpty() ? QString()
                                                       : QStringLiteral("Auf dem Desktop: ") + s.desktopTrigger);
}

// Every key goes to the capture, Tab, Enter and Esc included, before a
// gadget or the dialog can use it.
bool KeyConfigWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return false;
    }
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // ALT alone only starts a combination: the key pressed with it is refused.
    if (key->key() == Qt::Key_Alt) return true;
    const bool altHeld = key->modifiers() & Qt::AltModifier;
    const int vk = PassDriver::virtualKeyOf(key);
    if (vk == 0 && !altHeld) return true;  // a key the bindings cannot store
    if (logic.KeyDown(vk, altHeld)) keyField->setText(logic.capturedKeyName());
    return true;
}

void runKeyConfigWindow(Kalvo& k, QWidget* owner) {
    // Modal: the main window takes no input while this one is open.
    KeyConfigWindow window(k, owner);
    window.exec();
}
