#include "platform/QtMessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
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

// Title bars draw their text larger and bolder than the windows' own font, and
// keep room for the window icon and three buttons (about 25 pixels each).
constexpr double kTitleFontGrowth = 1.3;
constexpr int kTitleBarButtonsRoom = 130;

void widenForTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    QFont titleFont = box.font();
    const int px = titleFont.pixelSize() > 0 ? titleFont.pixelSize() : QFontMetrics(titleFont).height();
    titleFont.setPixelSize(int(px * kTitleFontGrowth + 0.5));
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtonsRoom;
    // The box sizes itself from its layout's minimum: a spacer across all
    // columns holds that width.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

bool QtMessages::showMessage(const QString& text, bool ask) {
    // The owner is the program's active window, else the shown main window.
    QWidget* owner = QApplication::activeWindow();
    if (!owner && mainWindow && mainWindow->isVisible()) owner = mainWindow;
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
    widenForTitle(box);
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

void QtMessages::showNotice(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Kalvo2 Meldung"), text, QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    for (QAbstractButton* b : box->buttons()) b->setIcon(QIcon());
    widenForTitle(*box);
    box->show();
}

void QtMessages::errorBeep() { QApplication::beep(); }
void QtMessages::asteriskBeep() { QApplication::beep(); }
