#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include "QtApp.h"
#include "dialogs/MainWindow.h"
#include "dialogs/TextFit.h"
#include "fakes/Fakes.h"

namespace {

struct Expected {
    int number;
    const char* kind;
    const char* caption;
    QRect geometry;
    const char* tooltip;
};

const Expected kExpected[] = {
    {2, "label", "Liste:", {5, 10, 35, 15}, ""},
    {3, "field", "", {45, 5, 270, 20}, ""},
    {4, "field", "", {45, 30, 270, 20}, ""},
    {5, "button", "Pfad:", {5, 30, 40, 20}, "Öffnet den aktuellen Pfad"},
    {6, "button", "Lied:", {5, 55, 40, 20}, "Öffnet die Liederliste"},
    {7, "field", "", {45, 55, 270, 20}, ""},
    {8, "field", "", {320, 5, 55, 20}, ""},
    {9, "button", ">", {380, 5, 15, 20}, "Öffnet/schliesst eine Liste der im aktuellen Pfad vorhandenen Musiklisten."},
    {10, "list", "", {405, 5, 200, 150}, "Doppelklick ladet Liste - Rechtsklick löscht sie"},
    {11, "button", "Del", {610, 5, 25, 20}, "Löscht die gewählte Liste"},
    {12, "field", "", {320, 30, 75, 20}, ""},
    {13, "field", "", {320, 55, 75, 20}, ""},
    {14, "label", "Lautstärke:", {5, 80, 70, 15}, ""},
    {15, "slider", "", {80, 80, 315, 20}, ""},
    {16, "button", "Spielen", {5, 105, 50, 25}, ""},
    {17, "button", "Stopp", {60, 105, 50, 25}, ""},
    {18, "button", "|<", {145, 105, 30, 25}, ""},
    {19, "button", "<<", {180, 105, 30, 25}, ""},
    {20, "button", ">>", {215, 105, 30, 25}, ""},
    {21, "button", ">|", {250, 105, 30, 25}, ""},
    {22, "button", "Löschen", {345, 105, 50, 25}, "Verschiebt die aktuelle Datei in den Kalvo-Papierkorb"},
    {23, "box", "BS", {5, 135, 40, 20}, "Öffnet beim Abspielen einen schwarzen Bildschirm"},
    {24, "box", "Wecken:", {50, 135, 70, 20}, ""},
    {25, "spin", "", {120, 135, 30, 20}, ""},
    {26, "spin", "", {150, 135, 30, 20}, ""},
    {27, "label", "Snooze:", {195, 138, 45, 15}, ""},
    {28, "digits", "", {240, 135, 35, 20},
     "Einschlaf-Automatik: Minuten nach letzter Aktion - dann stoppt der Player (0=inaktiv)"},
    {29, "box", "Fortf.", {280, 135, 50, 20}, "Spielt das nächste Lied, wenn aktuelles fertig"},
    {30, "box", "Zufall", {335, 135, 60, 20}, "Ordnet die Liedliste nach Zufallswerten"},
};

QString captionOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return {};
}

struct Window {
    QApplication& app = qtApp();
    MainWindow w;
    QVector<PassEvent> events;
    Window() {
        w.createMenu();
        w.setEventSink([this](const PassEvent& e) { events << e; });
    }
    // The events of the user's actions (size events come with showing).
    QVector<PassEvent> actions() const {
        QVector<PassEvent> out;
        for (const auto& e : events)
            if (e.kind != PassEvent::Kind::Size) out << e;
        return out;
    }
    int count(PassEvent::Kind kind) const {
        int n = 0;
        for (const auto& e : events) n += e.kind == kind;
        return n;
    }
};

// True once menu is the open popup, waiting up to about two seconds.
bool waitForPopup(QMenu* menu) {
    for (int i = 0; i < 40 && QApplication::activePopupWidget() != menu; ++i) QTest::qWait(50);
    return QApplication::activePopupWidget() == menu;
}

}  // namespace

TEST(MainWindow, ControlsCaptionsTooltipsAndPlaces) {
    Window t;
    EXPECT_EQ(t.w.windowTitle(), "Kalvo2");
    EXPECT_EQ(t.w.innerWidth(), 400);
    EXPECT_EQ(t.w.innerHeight(), 180);
    EXPECT_EQ(t.w.pos(), QPoint(100, 100));
    const QRect visible = t.w.clientArea()->rect();
    for (const Expected& e : kExpected) {
        QWidget* c = t.w.control(e.number);
        ASSERT_NE(c, nullptr) << e.number;
        EXPECT_EQ(c->parentWidget(), t.w.clientArea());
        EXPECT_EQ(c->geometry(), e.geometry) << e.number;
        EXPECT_EQ(captionOf(c), QString::fromUtf8(e.caption)) << e.number;
        EXPECT_EQ(c->toolTip(), QString::fromUtf8(e.tooltip)) << e.number;
        const QString kind = QString::fromLatin1(e.kind);
        if (kind == "label") EXPECT_TRUE(qobject_cast<QLabel*>(c));
        if (kind == "field") EXPECT_TRUE(qobject_cast<QLineEdit*>(c) && qobject_cast<QLineEdit*>(c)->isReadOnly());
        if (kind == "digits") EXPECT_TRUE(qobject_cast<QLineEdit*>(c) && !qobject_cast<QLineEdit*>(c)->isReadOnly());
        if (kind == "button") EXPECT_TRUE(qobject_cast<QPushButton*>(c));
        if (kind == "box") EXPECT_TRUE(qobject_cast<QCheckBox*>(c) && !qobject_cast<QCheckBox*>(c)->isChecked());
        if (kind == "spin") EXPECT_TRUE(qobject_cast<QSpinBox*>(c));
        if (kind == "slider") EXPECT_TRUE(qobject_cast<QSlider*>(c));
        if (kind == "list") EXPECT_TRUE(qobject_cast<QTreeWidget*>(c));
        // Only the list panel's list and "Del" lie outside the visible area.
        EXPECT_EQ(visible.contains(e.geometry), e.number != 10 && e.number != 11) << e.number;
    }
    EXPECT_EQ(static_cast<QSpinBox*>(t.w.control(25))->maximum(), 23);
    EXPECT_EQ(static_cast<QSpinBox*>(t.w.control(26))->maximum(), 59);
    EXPECT_EQ(static_cast<QSlider*>(t.w.control(15))->maximum(), 100);
    t.w.setListPanelColumnWidth(170);
    EXPECT_EQ(static_cast<QTreeWidget*>(t.w.control(10))->columnWidth(0), 170);
}

TEST(MainWindow, EveryCaptionFitsItsControl) {
    Window t;
    t.w.show();
    for (const Expected& e : kExpected) {
        QWidget* c = t.w.control(e.number);
        const QString caption = captionOf(c);
        if (caption.isEmpty()) continue;
        const QFontMetrics fm(c->font());
        int room = c->width();
        if (qobject_cast<QCheckBox*>(c)) {
            room -= c->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, c) +
                    c->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, c);
        } else if (qobject_cast<QPushButton*>(c)) {
            room -= 4;  // the button's frame on both sides
        }
        EXPECT_LE(fm.horizontalAdvance(caption), room) << caption.toStdString();
        EXPECT_LE(fm.height(), c->height()) << caption.toStdString();
    }
}

TEST(MainWindow, MenuItemsInOrderWithTheirNumbers) {
    Window t;
    const QList<QAction*> menus = t.w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    const QStringList titles{"Datei", "Liste", "Extras"};
    const QList<QStringList> items{
        {"Liste öffnen", "Neue Liste", "Speichern als", "-", "Kalvo Papierkorb öffnen", "Dateien wiederherstellen",
         "Letztes Löschen rückgängig", "-", "Beenden"},
        {"Bearbeiten", "Zufallswerte neu"},
        {"Tasten Konfig.", "Info"}};
    const QList<QList<int>> numbers{{4, 5, 6, 0, 1, 2, 11, 0, 3}, {7, 8}, {10, 9}};
    // The texts as shown, without the "&" of the underlined letter.
    const auto shown = [](const QAction* a) { return QString(a->text()).remove('&'); };
    for (int m = 0; m < 3; ++m) {
        EXPECT_EQ(shown(menus[m]), titles[m]);
        const QList<QAction*> actions = menus[m]->menu()->actions();
        ASSERT_EQ(actions.size(), items[m].size());
        for (int i = 0; i < actions.size(); ++i) {
            if (items[m][i] == "-") {
                EXPECT_TRUE(actions[i]->isSeparator());
                continue;
            }
            EXPECT_EQ(shown(actions[i]), items[m][i]);
            EXPECT_EQ(actions[i]->data().toInt(), numbers[m][i]);
            EXPECT_EQ(t.w.menuAction(numbers[m][i]), actions[i]);
        }
    }
    // The menu bar sits above the inner area.
    t.w.show();
    EXPECT_EQ(t.w.clientArea()->size(), QSize(400, 180));
    EXPECT_GE(t.w.clientArea()->y(), t.w.menuBar()->height());

    t.w.menuAction(MenuInfo)->trigger();
    ASSERT_EQ(t.actions().size(), 1);
    EXPECT_EQ(t.actions()[0].kind, PassEvent::Kind::Menu);
    EXPECT_EQ(t.actions()[0].window, MainWindowNo);
    EXPECT_EQ(t.actions()[0].item, 9);
}

TEST(MainWindow, UserActionsBecomeEventsSettersDoNot) {
    Window t;
    t.w.show();
    t.w.setVolumeSlider(40);
    t.w.setFortfBox(true);
    t.w.setZufallBox(true);
    t.w.setBlackscreenBox(true);
    t.w.setWeckenBox(true);
    t.w.setAlarmHour(7);
    t.w.setAlarmMinute(30);
    t.w.setSnoozeText("5");
    t.w.setSongText("Lied");
    EXPECT_TRUE(t.actions().isEmpty());
    EXPECT_EQ(t.w.volumeSlider(), 40);
    EXPECT_EQ(t.w.alarmHour(), 7);
    EXPECT_EQ(t.w.snoozeText(), "5");
    EXPECT_EQ(t.w.songText(), "Lied");
    // A name longer than the field shows its start.
    t.w.setSongText(QString(200, 'x') + ".wav");
    EXPECT_EQ(static_cast<QLineEdit*>(t.w.control(CtlSong))->cursorPosition(), 0);

    QTest::mouseClick(t.w.control(CtlPlay), Qt::LeftButton);
    ASSERT_EQ(t.actions().size(), 1);
    EXPECT_EQ(t.actions()[0].kind, PassEvent::Kind::Control);
    EXPECT_EQ(t.actions()[0].item, CtlPlay);

    QTest::mouseClick(t.w.control(CtlFortf), Qt::LeftButton);
    EXPECT_EQ(t.actions().last().item, CtlFortf);
    EXPECT_FALSE(t.w.fortfBox());

    auto* snooze = static_cast<QLineEdit*>(t.w.control(CtlSnooze));
    snooze->clear();
    t.events.clear();
    QTest::keyClicks(snooze, "1x2");  // digits only
    EXPECT_EQ(t.w.snoozeText(), "12");
    EXPECT_EQ(t.actions().size(), 2);
    EXPECT_EQ(t.actions().last().item, CtlSnooze);

    static_cast<QSlider*>(t.w.control(CtlVolume))->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(t.actions().last().item, CtlVolume);
    EXPECT_EQ(t.actions().last().subType, SubChange);
}

TEST(MainWindow, CloseRequestGoesToTheLoopAndSizeEventsMoveNothing) {
    Window t;
    t.w.show();
    EXPECT_FALSE(t.w.close());
    EXPECT_TRUE(t.w.isVisible());
    ASSERT_EQ(t.count(PassEvent::Kind::Close), 1);
    EXPECT_EQ(t.events.last().window, MainWindowNo);

    QVector<QRect> before;
    for (const Expected& e : kExpected) before << t.w.control(e.number)->geometry();
    QResizeEvent grow(QSize(450, 250), QSize(400, 180));
    QApplication::sendEvent(t.w.clientArea(), &grow);
    QResizeEvent shrink(QSize(390, 170), QSize(400, 180));
    QApplication::sendEvent(&t.w, &shrink);
    EXPECT_GE(t.count(PassEvent::Kind::Size), 1);
    for (int i = 0; i < before.size(); ++i) EXPECT_EQ(t.w.control(kExpected[i].number)->geometry(), before[i]);
    EXPECT_EQ(t.w.clientArea()->size(), QSize(400, 180));
    EXPECT_TRUE(t.w.isEnabled());

    t.w.closeForGood();
    EXPECT_FALSE(t.w.isVisible());
}

TEST(MainWindow, StartUpFillsTheWindowThroughTheView) {
    // Start-up on fakes, but with the real window as the view.
    qtApp();
    TestKalvo t;
    MainWindow w;
    Services s{w, t.messages, t.clock, t.desktop, t.files, t.random, t.progress, t.fileDialogs, t.windows,
               t.media, t.modules, t.sounds};
    Kalvo k(s);
    k.shell.dataFolder = t.k->shell.dataFolder;
    k.shell.LoadSettings();
    EXPECT_EQ(w.snoozeText(), "0");
    EXPECT_TRUE(w.fortfBox());
    EXPECT_EQ(w.alarmHour(), 8);
    EXPECT_EQ(w.pos(), QPoint(100, 100));
}

// Every menu and item has an underlined letter, unique within its menu bar or
// menu; ALT with a title's letter opens that menu in the window, and a letter
// of the open menu runs its item.
TEST(MainWindow, MenusOpenWithAltAndTheirLetters) {
    const auto letterOf = [](const QAction* a) {
        const QKeySequence m = QKeySequence::mnemonic(a->text());
        return m.isEmpty() ? QString() : m.toString();
    };
    {
        Window t;
        QStringList titleLetters;
        for (QAction* menu : t.w.menuBar()->actions()) {
            titleLetters << letterOf(menu);
            QStringList letters;
            for (QAction* a : menu->menu()->actions())
                if (!a->isSeparator()) letters << letterOf(a);
            EXPECT_FALSE(letters.contains(QString())) << menu->text().toStdString();
            EXPECT_EQ(QSet<QString>(letters.begin(), letters.end()).size(), letters.size())
                << menu->text().toStdString();
        }
        EXPECT_EQ(titleLetters, (QStringList{"Alt+D", "Alt+L", "Alt+E"}));
    }
    // Keys go where the keyboard sends them: to the open menu, else to the
    // focused field of a window just shown.
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* to = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
        ASSERT_NE(to, nullptr);
        QTest::keyClick(to, key, modifiers);
    };
    const auto shown = [](Window& t) {
        t.w.show();
        t.w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&t.w));
        t.w.control(CtlListName)->setFocus();
    };
    const QList<Qt::Key> keys{Qt::Key_D, Qt::Key_L, Qt::Key_E};
    for (int m = 0; m < 3; ++m) {
        Window t;
        shown(t);
        press(keys[m], Qt::AltModifier);
        QMenu* menu = t.w.menuBar()->actions()[m]->menu();
        EXPECT_TRUE(waitForPopup(menu)) << m;
        if (QApplication::activePopupWidget() == menu) menu->close();
    }
    // "Extras", then I: "Info".
    Window t;
    shown(t);
    press(Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(waitForPopup(t.w.menuBar()->actions()[2]->menu()));
    press(Qt::Key_I);
    QTest::qWait(50);
    ASSERT_EQ(t.actions().size(), 1);
    EXPECT_EQ(t.actions()[0].kind, PassEvent::Kind::Menu);
    EXPECT_EQ(t.actions()[0].item, MenuInfo);
}

// Hour 23 and minute 59 read whole in the designed 30 x 20 fields: the text
// fits the room the edit gives it, shown with two digits.
TEST(MainWindow, AlarmFieldsShowTwoDigitsWhole) {
    Window t;
    t.w.show();
    t.w.setAlarmHour(23);
    t.w.setAlarmMinute(59);
    for (int number : {CtlWeckenH, CtlWeckenM}) {
        auto* spin = static_cast<QSpinBox*>(t.w.control(number));
        EXPECT_EQ(spin->size(), QSize(30, 20));
        auto* edit = spin->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), number == CtlWeckenH ? "23" : "59");
        EXPECT_LE(QFontMetrics(edit->font()).horizontalAdvance(edit->text()), lineEditTextRoom(edit)) << number;
        EXPECT_LE(QFontMetrics(edit->font()).horizontalAdvance("00"), lineEditTextRoom(edit)) << number;
    }
    // Typed over, 34 reads 34; early times keep two digits.
    auto* minute = static_cast<QSpinBox*>(t.w.control(CtlWeckenM));
    minute->setFocus();
    minute->selectAll();
    QTest::keyClicks(minute, "34");
    EXPECT_EQ(t.w.alarmMinute(), 34);
    EXPECT_EQ(minute->findChild<QLineEdit*>()->text(), "34");
    t.w.setAlarmHour(7);
    EXPECT_EQ(static_cast<QSpinBox*>(t.w.control(CtlWeckenH))->text(), "07");
    EXPECT_EQ(t.w.alarmHour(), 7);
}

// The counter, time and position fields show their longest texts whole,
// smaller only where needed, and scroll nothing out of sight.
TEST(MainWindow, CounterTimeAndPositionTextsFitTheirFields) {
    Window t;
    t.w.show();
    const auto fits = [](QLineEdit* f) {
        return QFontMetrics(f->font()).horizontalAdvance(f->text()) <= lineEditTextRoom(f);
    };
    auto* counter = static_cast<QLineEdit*>(t.w.control(CtlCounter));
    for (const char* text : {"5002/5006", "12345/12345", "0/0"}) {
        t.w.setCounterText(QString::fromLatin1(text));
        EXPECT_EQ(counter->text(), text);
        EXPECT_TRUE(fits(counter)) << text;
    }
    t.w.setCounterText(QStringLiteral("5002/5006"));
    EXPECT_GE(counter->font().pixelSize(), 8);
    t.w.setCounterText(QStringLiteral("5/12"));
    EXPECT_EQ(counter->font().pixelSize(), layoutFont().pixelSize());  // a short text keeps the font
    auto* position = static_cast<QLineEdit*>(t.w.control(CtlPosition));
    t.w.setPositionText(QStringLiteral("L12 127/255"));
    EXPECT_TRUE(fits(position));
    auto* time = static_cast<QLineEdit*>(t.w.control(CtlTime));
    t.w.setTimeText(QStringLiteral("100:00:00"));
    EXPECT_TRUE(fits(time));
    EXPECT_EQ(static_cast<QLineEdit*>(t.w.control(CtlCounter))->geometry(), QRect(320, 5, 55, 20));
}
