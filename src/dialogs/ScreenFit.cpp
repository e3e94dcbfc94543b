#include "dialogs/ScreenFit.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

QRect fitFrameInto(const QRect& frame, const QRect& area) {
    QRect r = frame;
    if (r.width() > area.width()) r.setWidth(area.width());
    if (r.height() > area.height()) r.setHeight(area.height());
    if (r.right() > area.right()) r.moveRight(area.right());
    if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
    if (r.left() < area.left()) r.moveLeft(area.left());
    if (r.top() < area.top()) r.moveTop(area.top());
    return r;
}

namespace {

class WholeOnScreen : public QObject {
public:
    explicit WholeOnScreen(QWidget* window) : QObject(window), window(window) { window->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window) return false;
        switch (event->type()) {
        case QEvent::Show:
            pending = true;
            fits = 0;
            fit();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (pending) fit();
            break;
        default: break;
        }
        return false;
    }

private:
    QWidget* window;
    bool pending = false;
    int fits = 0;  // a window that will not shrink must not make this loop

    void fit() {
        const QScreen* screen = window->screen();
        if (!screen) return;
        const QRect inner = window->geometry();
        const QRect frame = window->frameGeometry();
        // Framed now: this check is the last until the next show.
        if (frame != inner) pending = false;
        const QRect fitted = fitFrameInto(frame, screen->availableGeometry());
        if (fitted == frame || ++fits > 3) return;
        const QSize border = frame.size() - inner.size();
        window->resize(fitted.size() - border);
        window->move(fitted.topLeft());
    }
};

}  // namespace

void keepWholeOnScreen(QWidget* window) {
    if (window && !window->findChild<WholeOnScreen*>(QString(), Qt::FindDirectChildrenOnly)) new WholeOnScreen(window);
}
