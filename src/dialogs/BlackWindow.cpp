#include "dialogs/BlackWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "dialogs/PassDriver.h"

BlackWindow::BlackWindow(std::function<void(const PassEvent&)> sink) : sink(std::move(sink)) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowNumber(this, BlackWindowNo);
    setWindowTitle(QStringLiteral("Kalvo BlackWin"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setMouseTracking(true);  // mouse moves count as input for the monitor step
    setFocusPolicy(Qt::StrongFocus);
}

bool BlackWindow::open() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    setGeometry(screen->geometry());
    // Full screen also covers the desktop's panels where a window manager runs.
    showFullScreen();
    raise();
    activateWindow();
    setFocus();
    return true;
}

void BlackWindow::closeForGood() {
    closingForGood = true;
    close();
}

void BlackWindow::closeEvent(QCloseEvent* event) {
    if (closingForGood) {
        event->accept();
        return;
    }
    event->ignore();
    PassEvent e;
    e.kind = PassEvent::Kind::Close;
    e.window = BlackWindowNo;
    if (sink) sink(e);
}
