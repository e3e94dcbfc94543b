#include "dialogs/ScreenFit.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

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

QRect fitHeightInto(const QRect& frame, const QRect& area, int minHeight) {
    if (frame.bottom() <= area.bottom()) return frame;
    QRect r = frame;
    r.setBottom(area.bottom());
    const int shortest = std::min(frame.height(), minHeight);
    if (r.height() < shortest) {
        r.setHeight(shortest);
        r.moveBottom(area.bottom());
        if (r.top() < area.top()) r.setTop(area.top());
    }
    return r;
}

namespace {

// Hands each show of a window, and every move or resize after it, to fit
// until fit says the window is where it belongs; a window manager frames a
// window only after it is shown, so the first look may not be the last.
class AfterShow : public QObject {
public:
    // fit(shown): shown is true for the show itself; true back: done until
    // the next show.
    using Fit = std::function<bool(bool shown)>;
    AfterShow(QWidget* window, Fit fit) : QObject(window), window(window), fit(std::move(fit)) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window) return false;
        switch (event->type()) {
        // The sizes fit sets come back as events of their own, maybe at
        // once: those are not looked at again.
        case QEvent::Show:
            pending = false;
            pending = !fit(true);
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (!pending) break;
            pending = false;
            pending = !fit(false);
            break;
        default: break;
        }
        return false;
    }

private:
    QWidget* window;
    Fit fit;
    bool pending = false;
};

// Not a Q_OBJECT class, so findChild cannot tell it from any other child.
bool watchedAlready(const QWidget* window) {
    for (const QObject* child : window->children())
        if (dynamic_cast<const AfterShow*>(child)) return true;
    return false;
}

bool framed(const QWidget* window) { return window->frameGeometry() != window->geometry(); }

}  // namespace

void keepWholeOnScreen(QWidget* window) {
    if (!window || watchedAlready(window)) return;
    int fits = 0;  // a window that will not shrink must not make this loop
    new AfterShow(window, [window, fits](bool shown) mutable {
        if (shown) fits = 0;
        const QScreen* screen = window->screen();
        if (!screen) return false;
        const QRect inner = window->geometry();
        const QRect frame = window->frameGeometry();
        const QRect fitted = fitFrameInto(frame, screen->availableGeometry());
        if (fitted != frame && ++fits <= 3) {
            const QSize border = frame.size() - inner.size();
            window->resize(fitted.size() - border);
            window->move(fitted.topLeft());
        }
        // Framed now: this check is the last until the next show.
        return frame != inner;
    });
}

void keepBottomOnScreen(QWidget* window, std::function<QPoint()> place, int minHeight, std::function<void(int)> cut) {
    if (!window || watchedAlready(window)) return;
    new AfterShow(window, [window, place, minHeight, cut](bool) {
        const QScreen* screen = window->screen();
        // Until it is framed the window stands where it was placed, and its
        // place was chosen with the owner's frame in mind.
        if (!screen || !framed(window)) return false;
        const QRect frame = window->frameGeometry();
        const QPoint frameTopLeft = place();
        // While the window manager frames a window, Qt may report a passing
        // place (the frame's own corner): wait for the real one.
        if (std::abs(frame.left() - frameTopLeft.x()) > 8) return false;
        QRect wanted = frame;
        if (frame.top() < frameTopLeft.y()) wanted.moveTop(frameTopLeft.y());  // pushed up over its owner
        const QSize border = frame.size() - window->size();
        const QRect fitted = fitHeightInto(wanted, screen->availableGeometry(), minHeight + border.height());
        if (fitted.height() != frame.height()) {
            if (cut) cut(fitted.height() - border.height());
            window->resize(fitted.size() - border);
        }
        if (fitted.top() != frame.top()) window->move(window->pos().x(), fitted.top());
        return true;
    });
}
