#include "dialogs/PassDriver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "remote/VirtualKeys.h"
#include "shell/Kalvo.h"

namespace {
constexpr int kWaitMs = 105;
}

void setWindowNumber(QWidget* window, int number) { window->setProperty(kWindowNumberProperty, number); }

int windowNumberOf(const QWidget* widget) {
    if (!widget) return 0;
    return widget->window()->property(kWindowNumberProperty).toInt();
}

PassDriver::PassDriver(Kalvo& k, QObject* parent) : QObject(parent), k(k) {
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &PassDriver::timeout);
    // The timer runs from the start so that a quit asked for while start-up
    // shows a message can close that message.
    timer.start(kWaitMs);
}

PassDriver::~PassDriver() {
    if (qApp) qApp->removeEventFilter(this);
}

void PassDriver::start() {
    if (active || done) return;
    active = true;
    qApp->installEventFilter(this);
    if (quitPending) {
        PassEvent quit;
        quit.kind = PassEvent::Kind::Menu;
        quit.window = MainWindowNo;
        quit.item = MenuQuit;
        deliver(quit);
    }
    if (!done) timer.start(kWaitMs);
}

void PassDriver::deliver(const PassEvent& event) {
    if (!active || inPass) return;
    inPass = true;
    ++passes;
    k.shell.pass(event);
    inPass = false;
    if (k.shell.quitRequested) {
        active = false;
        done = true;
        timer.stop();
        qApp->removeEventFilter(this);
        emit finished();
        return;
    }
    timer.start(kWaitMs);
}

void PassDriver::requestQuit() {
    quitPending = true;
    if (!timer.isActive() && !done) timer.start(0);
}

void PassDriver::timeout() {
    if (done) return;
    if (quitPending) {
        if (k.shell.suspended() || inPass) {
            // A blocking window or message box is open: cancel it.
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        } else if (active) {
            PassEvent quit;
            quit.kind = PassEvent::Kind::Menu;
            quit.window = MainWindowNo;
            quit.item = MenuQuit;
            deliver(quit);
            return;
        }
        timer.start(kWaitMs);
        return;
    }
    if (active && !inPass) deliver(PassEvent{});
    else timer.start(kWaitMs);
}

bool PassDriver::translateInput(const QWidget* receiver, const QEvent* event, PassEvent& out) {
    PassEvent pe;
    pe.kind = PassEvent::Kind::Input;
    switch (event->type()) {
    case QEvent::KeyPress: pe.rawMessage = WmKeyDown; break;
    case QEvent::KeyRelease: pe.rawMessage = WmKeyUp; break;
    case QEvent::MouseMove: pe.rawMessage = WmMouseMove; break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const bool right = static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
        pe.rawMessage = right ? WmRButtonDown : WmLButtonDown;
        break;
    }
    case QEvent::MouseButtonRelease: {
        const bool right = static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
        pe.rawMessage = right ? WmRButtonUp : WmLButtonUp;
        break;
    }
    case QEvent::Wheel: pe.rawMessage = WmMouseWheel; break;
    default: return false;
    }
    pe.window = windowNumberOf(receiver);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<const QKeyEvent*>(event);
        pe.code = virtualKeyOf(key);
        pe.autoRepeat = key->isAutoRepeat();
        if (pe.code != 0) pe.kind = PassEvent::Kind::KeyDown;
    }
    out = pe;
    return true;
}

int PassDriver::virtualKeyOf(const QKeyEvent* key) {
    const int vk = virtualKeyFromQt(key->key(), key->modifiers());
    return vk != 0 ? vk : virtualKeyFromScanCode(key->nativeScanCode());
}

bool PassDriver::eventFilter(QObject* watched, QEvent* event) {
    if (!active || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::ShortcutOverride) {
        // ALT and a letter open a menu unless a binding names exactly that
        // combination: then the key press goes on to the binding below, and
        // the menu stays shut. A plain binding of the letter leaves ALT and
        // the letter to the menu. Either way only one of them acts.
        if (!bindsCombination(widget, static_cast<QKeyEvent*>(event))) return false;
        event->accept();
        return true;
    }
    PassEvent pe;
    if (!translateInput(widget, event, pe)) return false;
    if (isPropagation(widget, event)) return false;
    lastEvent = event;
    lastType = event->type();
    lastTimestamp = static_cast<const QInputEvent*>(event)->timestamp();
    lastReceiver = widget;
    // A bound key belongs to the binding, not to the focused control: a
    // slider must not also move on the arrow keys, a button not also click
    // on Space.
    const bool bound = pe.kind == PassEvent::Kind::KeyDown &&
                       (pe.window == MainWindowNo || pe.window == BlackWindowNo) && !k.shell.suspended() &&
                       k.bindings.BindsKey(pe.code);
    deliver(pe);
    return bound;
}

bool PassDriver::bindsCombination(const QWidget* receiver, const QKeyEvent* key) const {
    const int window = windowNumberOf(receiver);
    if ((window != MainWindowNo && window != BlackWindowNo) || k.shell.suspended()) return false;
    const Qt::KeyboardModifiers m = key->modifiers();
    const int modifiers = (m & Qt::AltModifier ? ModAlt : 0) | (m & Qt::ControlModifier ? ModCtrl : 0) |
                          (m & Qt::ShiftModifier ? ModShift : 0);
    return k.bindings.BindsCombination(virtualKeyOf(key), modifiers);
}

// Qt hands an input event that a widget ignored on to its parent, calling the
// filters again with the same event object. Qt also builds consecutive key
// and mouse events at the same stack address, so the address alone does not
// tell a new press from a travelling one: a travelling event goes to a strict
// ancestor of the widget that saw it last, with the same type and timestamp.
bool PassDriver::isPropagation(const QWidget* receiver, const QEvent* event) const {
    if (event != lastEvent || event->type() != lastType || !lastReceiver) return false;
    if (receiver == lastReceiver || !receiver->isAncestorOf(lastReceiver)) return false;
    return static_cast<const QInputEvent*>(event)->timestamp() == lastTimestamp;
}
