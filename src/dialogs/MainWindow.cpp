#include "dialogs/MainWindow.h"
#include "dialogs/WindowPlacement.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>

#include "dialogs/LayoutAnchors.h"
#include "dialogs/PassDriver.h"
#include "dialogs/TextFit.h"

namespace {

enum class Kind { Label, ReadOnly, Button, FileList, Slider, CheckBox, Spin, Digits };

struct ControlSpec {
    int number;
    Kind kind;
    const char* caption;  // UTF-8
    int x, y, width, height;
    const char* tooltip;  // UTF-8, may be empty
};

// Every control of the main window: number, kind, caption, designed
// position and size (before layoutScale) and tooltip.
const ControlSpec kControls[] = {
    {CtlListLabel, Kind::Label, "Liste:", 5, 10, 35, 15, ""},
    {CtlListName, Kind::ReadOnly, "", 45, 5, 270, 20, ""},
    {CtlPath, Kind::ReadOnly, "", 45, 30, 270, 20, ""},
    {CtlPathButton, Kind::Button, "Pfad:", 5, 30, 40, 20, "Öffnet den aktuellen Pfad"},
    {CtlSongButton, Kind::Button, "Lied:", 5, 55, 40, 20, "Öffnet die Liederliste"},
    {CtlSong, Kind::ReadOnly, "", 45, 55, 270, 20, ""},
    {CtlCounter, Kind::ReadOnly, "", 320, 5, 55, 20, ""},
    {CtlPanelToggle, Kind::Button, ">", 380, 5, 15, 20,
     "Öffnet/schliesst eine Liste der im aktuellen Pfad vorhandenen Musiklisten."},
    {CtlPanelList, Kind::FileList, "", 405, 5, 200, 150, "Doppelklick ladet Liste - Rechtsklick löscht sie"},
    {CtlPanelDel, Kind::Button, "Del", 610, 5, 25, 20, "Löscht die gewählte Liste"},
    {CtlTime, Kind::ReadOnly, "", 320, 30, 75, 20, ""},
    {CtlPosition, Kind::ReadOnly, "", 320, 55, 75, 20, ""},
    {CtlVolumeLabel, Kind::Label, "Lautstärke:", 5, 80, 70, 15, ""},
    {CtlVolume, Kind::Slider, "", 80, 80, 315, 20, ""},
    {CtlPlay, Kind::Button, "Spielen", 5, 105, 50, 25, ""},
    {CtlStop, Kind::Button, "Stopp", 60, 105, 50, 25, ""},
    {CtlPrev, Kind::Button, "|<", 145, 105, 30, 25, ""},
    {CtlJumpBack, Kind::Button, "<<", 180, 105, 30, 25, ""},
    {CtlJumpForward, Kind::Button, ">>", 215, 105, 30, 25, ""},
    {CtlNext, Kind::Button, ">|", 250, 105, 30, 25, ""},
    {CtlDelete, Kind::Button, "Löschen", 345, 105, 50, 25, "Verschiebt die aktuelle Datei in den Kalvo-Papierkorb"},
    {CtlBlackscreen, Kind::CheckBox, "BS", 5, 135, 40, 20, "Öffnet beim Abspielen einen schwarzen Bildschirm"},
    {CtlWecken, Kind::CheckBox, "Wecken:", 50, 135, 70, 20, ""},
    {CtlWeckenH, Kind::Spin, "", 120, 135, 30, 20, ""},
    {CtlWeckenM, Kind::Spin, "", 150, 135, 30, 20, ""},
    {CtlSnoozeLabel, Kind::Label, "Snooze:", 195, 138, 45, 15, ""},
    {CtlSnooze, Kind::Digits, "", 240, 135, 35, 20,
     "Einschlaf-Automatik: Minuten nach letzter Aktion - dann stoppt der Player (0=inaktiv)"},
    {CtlFortf, Kind::CheckBox, "Fortf.", 280, 135, 50, 20, "Spielt das nächste Lied, wenn aktuelles fertig"},
    {CtlZufall, Kind::CheckBox, "Zufall", 335, 135, 60, 20, "Ordnet die Liedliste nach Zufallswerten"},
};

struct MenuSpec {
    const char* menu;
    int item;  // 0: separator
    const char* caption;
};

// "&" marks the letter that opens a menu with ALT, or an item of the open
// menu; the letters differ within each menu.
const MenuSpec kMenu[] = {
    {"&Datei", MenuListOpen, "&Liste öffnen"},
    {"&Datei", MenuListNew, "&Neue Liste"},
    {"&Datei", MenuListSaveAs, "&Speichern als"},
    {"&Datei", 0, nullptr},
    {"&Datei", MenuTrashOpen, "Kalvo &Papierkorb öffnen"},
    {"&Datei", MenuRestore, "Dateien &wiederherstellen"},
    {"&Datei", MenuUndoDelete, "Letztes Löschen &rückgängig"},
    {"&Datei", 0, nullptr},
    {"&Datei", MenuQuit, "&Beenden"},
    {"&Liste", MenuListEdit, "&Bearbeiten"},
    {"&Liste", MenuNewRandom, "&Zufallswerte neu"},
    {"&Extras", MenuKeyConfig, "&Tasten Konfig."},
    {"&Extras", MenuInfo, "&Info"},
};

// An alarm field: 30 pixels hold two digits only without the arrows, so the
// value changes by typing, the wheel or the arrow keys; always two digits,
// as a clock shows them.
class AlarmField : public QSpinBox {
public:
    AlarmField(int maximum, QWidget* parent) : QSpinBox(parent) {
        setRange(0, maximum);
        setButtonSymbols(QAbstractSpinBox::NoButtons);
        setAlignment(Qt::AlignCenter);
    }

protected:
    QString textFromValue(int value) const override { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }
};

constexpr int kInnerWidth = 400;
constexpr int kInnerHeight = 180;

}  // namespace

MainWindow::MainWindow(float layoutScale) : layoutScale(layoutScale) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowNumber(this, MainWindowNo);
    setFont(layoutFont());
    setWindowTitle(QStringLiteral("Kalvo2"));
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    client->setMouseTracking(true);
    client->setFixedSize(scaled(kInnerWidth, layoutScale), scaled(kInnerHeight, layoutScale));
    setCentralWidget(client);
    // No sizing border: the window is as large as its inner area and menu.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildControls();
    move(scaled(100, layoutScale), scaled(100, layoutScale));
    RegisterWindowLayout(client, scaled(100, layoutScale), scaled(100, layoutScale), client->width(),
                         client->height());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    for (const ControlSpec& c : kControls) {
        const QString caption = QString::fromUtf8(c.caption);
        const int number = c.number;
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Label:
            w = new QLabel(caption, client);
            break;
        case Kind::ReadOnly: {
            auto* e = new QLineEdit(client);
            e->setReadOnly(true);
            w = e;
            break;
        }
        case Kind::Button: {
            auto* b = new QPushButton(caption, client);
            b->setAutoDefault(false);
            connect(b, &QPushButton::clicked, this, [this, number] { emitControl(number, SubClick); });
            w = b;
            break;
        }
        case Kind::FileList: {
            auto* t = new QTreeWidget(client);
            t->setRootIsDecorated(false);
            t->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Größe"), QStringLiteral("Geändert")});
            t->setSelectionMode(QAbstractItemView::SingleSelection);
            t->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(t, &QTreeWidget::itemClicked, this, [this, number] { emitControl(number, SubClick); });
            connect(t, &QTreeWidget::itemDoubleClicked, this,
                    [this, number] { emitControl(number, SubDoubleClick); });
            connect(t, &QTreeWidget::customContextMenuRequested, this, [this, t, number](const QPoint& pos) {
                if (QTreeWidgetItem* item = t->itemAt(pos)) t->setCurrentItem(item);
                emitControl(number, SubRightClick);
            });
            w = t;
            break;
        }
        case Kind::Slider: {
            auto* s = new QSlider(Qt::Horizontal, client);
            s->setRange(0, 100);
            connect(s, &QSlider::valueChanged, this, [this, number] { emitControl(number, SubChange); });
            w = s;
            break;
        }
        case Kind::CheckBox: {
            auto* b = new QCheckBox(caption, client);
            connect(b, &QCheckBox::clicked, this, [this, number] { emitControl(number, SubClick); });
            w = b;
            break;
        }
        case Kind::Spin: {
            auto* s = new AlarmField(number == CtlWeckenH ? 23 : 59, client);
            connect(s, &QSpinBox::valueChanged, this, [this, number] { emitControl(number, SubChange); });
            w = s;
            break;
        }
        case Kind::Digits: {
            auto* e = new QLineEdit(client);
            e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), e));
            connect(e, &QLineEdit::textEdited, this, [this, number] { emitControl(number, SubChange); });
            w = e;
            break;
        }
        }
        w->setObjectName(QStringLiteral("control%1").arg(number));
        w->setMouseTracking(true);  // mouse moves count as input for the monitor step
        w->setGeometry(scaled(c.x, layoutScale), scaled(c.y, layoutScale), scaled(c.width, layoutScale),
                       scaled(c.height, layoutScale));
        if (c.tooltip[0] != '\0') w->setToolTip(QString::fromUtf8(c.tooltip));
        controls.insert(number, w);
        AnchorControl(QString(), client, w, c.x, c.y, c.width, c.height);
    }
}

bool MainWindow::createMenu() {
    QMenuBar* bar = menuBar();
    if (!bar) return false;
    QHash<QString, QMenu*> menus;
    for (const MenuSpec& m : kMenu) {
        const QString title = QString::fromUtf8(m.menu);
        QMenu* menu = menus.value(title);
        if (!menu) {
            menu = bar->addMenu(title);
            menus.insert(title, menu);
        }
        if (m.item == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(QString::fromUtf8(m.caption));
        a->setData(m.item);
        const int item = m.item;
        connect(a, &QAction::triggered, this, [this, item] {
            PassEvent e;
            e.kind = PassEvent::Kind::Menu;
            e.window = MainWindowNo;
            e.item = item;
            emitEvent(e);
        });
        actions.insert(item, a);
    }
    return true;
}

void MainWindow::setInnerWidth(int width) { client->setFixedSize(width, client->height()); }

void MainWindow::closeForGood() {
    closingForGood = true;
    close();
}

void MainWindow::emitEvent(const PassEvent& event) const {
    if (sink) sink(event);
}

void MainWindow::emitControl(int number, int subType) const {
    emitEvent(PassEvent::control(MainWindowNo, number, subType));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closingForGood) {
        event->accept();
        return;
    }
    // The loop decides: it saves and closes the window after the pass.
    event->ignore();
    PassEvent e;
    e.kind = PassEvent::Kind::Close;
    e.window = MainWindowNo;
    emitEvent(e);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    PassEvent e;
    e.kind = PassEvent::Kind::Size;
    e.window = MainWindowNo;
    emitEvent(e);
}

QLineEdit* MainWindow::field(int number) const { return static_cast<QLineEdit*>(controls.value(number)); }
QCheckBox* MainWindow::box(int number) const { return static_cast<QCheckBox*>(controls.value(number)); }
QSpinBox* MainWindow::spin(int number) const { return static_cast<QSpinBox*>(controls.value(number)); }

// A name longer than its field shows its start, where songs differ most.
static void showFromStart(QLineEdit* f, const QString& text) {
    f->setText(text);
    f->setCursorPosition(0);
}

void MainWindow::setTitle(const QString& text) { setWindowTitle(text); }
void MainWindow::setListName(const QString& text) { showFromStart(field(CtlListName), text); }
void MainWindow::setPathText(const QString& text) { showFromStart(field(CtlPath), text); }
QString MainWindow::pathText() const { return field(CtlPath)->text(); }
void MainWindow::setSongText(const QString& text) { showFromStart(field(CtlSong), text); }
QString MainWindow::songText() const { return field(CtlSong)->text(); }
// "5002/5006" and a module's "L12 127/63" are wider than their fields in the
// layout font: they shrink rather than scroll.
void MainWindow::setCounterText(const QString& text) { setFittingText(field(CtlCounter), text); }
void MainWindow::setTimeText(const QString& text) { setFittingText(field(CtlTime), text); }
void MainWindow::setPositionText(const QString& text) { setFittingText(field(CtlPosition), text); }

int MainWindow::volumeSlider() const { return static_cast<QSlider*>(controls.value(CtlVolume))->value(); }
void MainWindow::setVolumeSlider(int value) {
    auto* s = static_cast<QSlider*>(controls.value(CtlVolume));
    const QSignalBlocker quiet(s);
    s->setValue(value);
}

bool MainWindow::blackscreenBox() const { return box(CtlBlackscreen)->isChecked(); }
void MainWindow::setBlackscreenBox(bool on) {
    const QSignalBlocker quiet(box(CtlBlackscreen));
    box(CtlBlackscreen)->setChecked(on);
}
bool MainWindow::weckenBox() const { return box(CtlWecken)->isChecked(); }
void MainWindow::setWeckenBox(bool on) {
    const QSignalBlocker quiet(box(CtlWecken));
    box(CtlWecken)->setChecked(on);
}
int MainWindow::alarmHour() const { return spin(CtlWeckenH)->value(); }
void MainWindow::setAlarmHour(int hour) {
    const QSignalBlocker quiet(spin(CtlWeckenH));
    spin(CtlWeckenH)->setValue(hour);
}
int MainWindow::alarmMinute() const { return spin(CtlWeckenM)->value(); }
void MainWindow::setAlarmMinute(int minute) {
    const QSignalBlocker quiet(spin(CtlWeckenM));
    spin(CtlWeckenM)->setValue(minute);
}
QString MainWindow::snoozeText() const { return field(CtlSnooze)->text(); }
void MainWindow::setSnoozeText(const QString& text) { field(CtlSnooze)->setText(text); }
bool MainWindow::fortfBox() const { return box(CtlFortf)->isChecked(); }
void MainWindow::setFortfBox(bool on) {
    const QSignalBlocker quiet(box(CtlFortf));
    box(CtlFortf)->setChecked(on);
}
bool MainWindow::zufallBox() const { return box(CtlZufall)->isChecked(); }
void MainWindow::setZufallBox(bool on) {
    const QSignalBlocker quiet(box(CtlZufall));
    box(CtlZufall)->setChecked(on);
}

int MainWindow::windowX() const { return windowPlacesKnown() ? x() : kPlaceUnknown; }
int MainWindow::windowY() const { return windowPlacesKnown() ? y() : kPlaceUnknown; }
void MainWindow::moveWindow(int x, int y) { move(x, y); }
int MainWindow::innerWidth() const { return client->width(); }
int MainWindow::innerHeight() const { return client->height(); }
void MainWindow::setListPanelColumnWidth(int width) {
    panelNameWidth = width;
    static_cast<QTreeWidget*>(controls.value(CtlPanelList))->setColumnWidth(0, width);
}

void MainWindow::fitListPanelColumns() {
    auto* list = static_cast<QTreeWidget*>(controls.value(CtlPanelList));
    QStringList sizes, times;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        sizes << list->topLevelItem(i)->text(1);
        times << list->topLevelItem(i)->text(2);
    }
    const int sizeWidth = columnWidthFor(list, 1, sizes);
    list->setColumnWidth(1, sizeWidth);
    list->setColumnWidth(2, columnWidthFor(list, 2, times));
    // Name and size fill the list's width; the date lies to their right.
    const int room = columnRoom(list, list->topLevelItemCount());
    const int wanted = panelNameWidth > 0 ? panelNameWidth : list->columnWidth(0);
    list->setColumnWidth(0, std::max(std::min(wanted, room - sizeWidth), room / 2));
}
