#include "platform/QtMessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QVector>
#include <QWidget>

namespace {
struct HeldWindow {
    QPointer<QWidget> window;
    bool wasEnabled;  // its own setting, not its owner's
    bool wasOnTop;
};
}  // namespace

bool QtMessages::showMessage(const QString& text, bool ask) {
    // The owner is the program's active window, if any.
    QWidget* owner = QApplication::activeWindow();
    // Each window's own state is recorded before any is disabled: disabling
    // a window also disables the windows it owns, so a state read after that
    // would be the owner's, and the owned window would stay disabled.
    QVector<HeldWindow> held;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) continue;
        held.push_back({w, !w->testAttribute(Qt::WA_ForceDisabled), w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)});
    }
    for (const HeldWindow& h : held) {
        if (h.wasOnTop) {
            h.window->setWindowFlag(Qt::WindowStaysOnTopHint, false);
            h.window->show();  // changing the flags hides the window
        }
        h.window->setEnabled(false);
    }

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kalvo2 Meldung"), text,
                    ask ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
    box.setDefaultButton(ask ? QMessageBox::Yes : QMessageBox::Ok);
    for (QAbstractButton* b : box.buttons()) b->setIcon(QIcon());  // plain buttons
    box.setEnabled(true);  // a box owned by a disabled window must stay usable
    const int answer = box.exec();

    for (const HeldWindow& h : held) {
        if (!h.window) continue;
        h.window->setEnabled(h.wasEnabled);
        if (h.wasOnTop) {
            h.window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
            h.window->show();
        }
    }
    return ask && answer == QMessageBox::Yes;
}

void QtMessages::errorBeep() { QApplication::beep(); }
void QtMessages::asteriskBeep() { QApplication::beep(); }
