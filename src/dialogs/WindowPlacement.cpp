#include "dialogs/WindowPlacement.h"

#include <QGuiApplication>

#include <QScreen>
#include <QWidget>

void centreOnOwner(QWidget* window, const QWidget* owner) {
    if (!window || !owner) return;
    const QRect o = owner->frameGeometry();
    QRect r(QPoint(0, 0), window->frameGeometry().size());
    r.moveCenter(o.center());
    if (const QScreen* screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        if (r.right() > area.right()) r.moveRight(area.right());
        if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
        if (r.left() < area.left()) r.moveLeft(area.left());
        if (r.top() < area.top()) r.moveTop(area.top());
    }
    window->move(r.topLeft());
}

bool windowPlacesKnown() { return QGuiApplication::platformName() != QLatin1String("wayland"); }
